#include "engine/control/operation_lines.h"

#include "engine/transport/controller.h"

namespace zrt {

bool RaiseOperationLines(Controller& device, StatusCode& result) {
    result = status::Ok;
    if (!device.SetControlLine(11, 1)) return false;
    if (!device.SetRegisterField(0x60, 0, 0, 1)) {
        result = status::Register60Failed;
        return false;
    }
    return device.SetControlLine(15, 1);
}

bool LowerOperationLines(Controller& device, StatusCode& result, LastLine last) {
    result = status::Ok;
    if (!device.SetControlLine(15, 0)) return false;
    if (!device.SetRegisterField(0x60, 0, 0, 0)) {
        result = status::Register60Failed;
        return false;
    }
    return device.SetControlLine(11, 0) || last == LastLine::Ignored;
}

}  // namespace zrt
