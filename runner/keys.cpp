#include "runner/keys.h"

namespace runner {

std::optional<moxy::Key> keyOfEvent(int qtKey, bool keypad, quint32 scanCode) {
    for (const KeyBinding& binding : kKeyBindings)
        if ((qtKey == binding.qtKey || (binding.otherQtKey != 0 && qtKey == binding.otherQtKey)) &&
            (!keypad || binding.onKeypad))
            return binding.key;
    if (keypad)
        return std::nullopt;
    for (const KeyBinding& binding : kKeyBindings)
        if (binding.scanCode != 0 && scanCode == binding.scanCode)
            return binding.key;
    return std::nullopt;
}

std::optional<moxy::Key> keyNamed(std::string_view name) {
    for (const KeyBinding& binding : kKeyBindings)
        if (name == binding.scriptName || name == moxy::keyInfo(binding.key).name)
            return binding.key;
    return std::nullopt;
}

}  // namespace runner
