#include "engine/api/scanner_engine.h"

namespace zrt {

ScannerEngine& Engine() {
    static ScannerEngine engine;
    return engine;
}

}  // namespace zrt
