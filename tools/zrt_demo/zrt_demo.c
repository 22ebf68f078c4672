/* Prints what the scanner engine reports about itself: the ability record
 * before and after opening the scanner (the virtual one unless a device path
 * is given). */
#include <stdio.h>
#include <string.h>

#include "zrtl5617.h"

enum { ITEM_END = 0, ITEM_VALUE = 1, ITEM_BYTES = 2, ITEM_ARRAY = 3 };

struct Item {
    unsigned id, type, length, value;
    const uint8_t* payload;
};

static unsigned U16(const uint8_t* p) { return (unsigned)p[0] | ((unsigned)p[1] << 8); }

/* Finds item `id`; 0 when the record does not hold it. */
static int FindItem(const uint8_t* record, size_t size, unsigned id, struct Item* out) {
    size_t pos = 0;
    while (pos + 8 <= size) {
        struct Item item = {U16(record + pos), U16(record + pos + 2), U16(record + pos + 4),
                            U16(record + pos + 6), record + pos + 8};
        size_t payload = 0;
        if (item.type == ITEM_BYTES || item.type == ITEM_ARRAY) payload = item.length;
        if (item.type == ITEM_VALUE && item.length == 4) payload = 4;
        if (item.id == id) {
            *out = item;
            return 1;
        }
        if (item.type == ITEM_END) return 0;
        pos += 8 + payload;
    }
    return 0;
}

static const char* Text(const uint8_t* record, size_t size, unsigned id) {
    struct Item item;
    return FindItem(record, size, id, &item) && item.type == ITEM_BYTES ? (const char*)item.payload : "?";
}

static unsigned Value(const uint8_t* record, size_t size, unsigned id) {
    struct Item item;
    return FindItem(record, size, id, &item) && item.type == ITEM_VALUE ? item.value : 0;
}

static void PrintArea(const char* name, const uint8_t* record, size_t size, unsigned id) {
    struct Item item;
    if (!FindItem(record, size, id, &item) || item.length < 8) return;
    const uint8_t* p = item.payload;
    printf("  %-20s x %5u  y %5u  %5u x %5u  (%.2f x %.2f in)\n", name, U16(p), U16(p + 2), U16(p + 4),
           U16(p + 6), U16(p + 4) / 4800.0, U16(p + 6) / 4800.0);
}

static void PrintRecord(void) {
    uint16_t size = 0;
    uint8_t record[ZRTL5617_ABILITY_BUFFER_SIZE];
    GetScannerAbilitySize(0, &size);
    if (size > sizeof record) size = sizeof record;
    memset(record, 0, sizeof record);
    GetScannerAbilityXp(0, record);

    printf("  vendor %s, model %s, version %s, bus %s\n", Text(record, size, 1), Text(record, size, 2),
           Text(record, size, 3), Text(record, size, 5));

    struct Item item;
    const unsigned pairs = Value(record, size, 12);
    if (FindItem(record, size, 13, &item) && item.length >= 4 * pairs) {
        printf("  resolutions (dpi):");
        for (unsigned i = 0; i < pairs; ++i) printf(" %ux%u", U16(item.payload + 4 * i), U16(item.payload + 4 * i + 2));
        printf("\n");
    }
    printf("  base resolution %u x %u dpi\n", Value(record, size, 14), Value(record, size, 15));
    PrintArea("document glass", record, size, 16);
    PrintArea("film area", record, size, 17);
    const unsigned frames = Value(record, size, 21);
    if (FindItem(record, size, 20, &item) && item.length >= 8 * frames) {
        for (unsigned i = 0; i < frames; ++i) {
            char name[32];
            snprintf(name, sizeof name, "film frame %u", i + 1);
            const uint8_t* p = item.payload + 8 * i;
            printf("  %-20s x %5u  y %5u  %5u x %5u\n", name, U16(p), U16(p + 2), U16(p + 4), U16(p + 6));
        }
    }
}

int main(int argc, char** argv) {
    const char* device = argc > 1 ? argv[1] : "sim";
    printf("Before opening a scanner:\n");
    PrintRecord();

    uint16_t status = 0;
    if (!FindScannerEx(0, device)) {
        GetScannerStatus(0, &status);
        printf("FindScannerEx(\"%s\") failed with status 0x%04X\n", device, status);
        TerminateScanner(0);
        return 1;
    }
    printf("After opening \"%s\":\n", device);
    PrintRecord();
    TerminateScanner(0);
    return 0;
}
