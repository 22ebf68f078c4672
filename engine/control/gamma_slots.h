// Three 65536-entry gamma tables, slot i for channel i.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace zrt {

struct GammaSlots {
    static constexpr size_t kEntries = 65536;

    // The slots exist from construction on, so a gamma table set or read
    // before the first device set-up lands in (or comes from) a real table
    // instead of an empty vector. Every set-up replaces them.
    GammaSlots() { (void)Allocate(); }

    // Fresh identity tables (entry i = i); false when memory ran out, in
    // which case the slots are left empty.
    bool Allocate() noexcept {
        Release();
        try {
            for (auto& table : slot) table.resize(kEntries);
        } catch (const std::bad_alloc&) {
            Release();
            return false;
        }
        FillIdentity();
        return true;
    }

    void Release() noexcept {
        for (auto& table : slot) std::vector<uint16_t>().swap(table);
    }

    bool Allocated() const noexcept {
        for (const auto& table : slot)
            if (table.size() != kEntries) return false;
        return true;
    }

    void FillIdentity() noexcept {
        for (auto& table : slot)
            for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint16_t>(i);
    }

    std::vector<uint16_t> slot[3];
};

}  // namespace zrt
