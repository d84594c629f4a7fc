#include "config/config_buttons.h"

namespace varn {

ConfigButtons openingButtons(bool phoneStored, bool pppMode) {
    ConfigButtons b;
    b.save = false;
    b.verify = phoneStored;
    b.loginScript = phoneStored && !pppMode;
    return b;
}

ChangeEffect fieldChanged(ConfigButtons b, const FieldChange& change) {
    ChangeEffect effect;
    const auto enableSave = [&b] {
        b.save = true;
        b.makeDefault = ConfigButtons::Default::Save;
    };
    switch (change.field) {
    case ConfigField::Name:
        enableSave();
        if (change.empty)
            b.save = false;
        break;
    case ConfigField::Octet:
        enableSave();
        break;
    case ConfigField::Phone:
        if (change.empty) {
            b.save = b.verify = b.loginScript = false;
            break;
        }
        enableSave();
        b.verify = b.loginScript = true;
        b.makeDefault = ConfigButtons::Default::Verify;
        break;
    case ConfigField::UserName:
    case ConfigField::Password:
        enableSave();
        effect.pppMode = true;
        if (change.oneOver)
            break; // still the same account being typed
        if (!change.empty) {
            b.loginScript = false;
        } else {
            b.save = false;
            if (change.otherEmpty)
                b.loginScript = true;
        }
        break;
    }
    effect.buttons = b;
    return effect;
}

} // namespace varn
