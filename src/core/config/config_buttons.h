#pragma once
// Which of the Configuration Parameters dialog's buttons its fields switch on
// and off, and which becomes the default (the one Enter presses), apart from
// the widgets.

namespace varn {

struct ConfigButtons {
    enum class Default { Unchanged, Save, Verify };
    bool save = false;
    bool verify = true;
    bool loginScript = true;
    Default makeDefault = Default::Unchanged;
};

// On opening: Save off; Verify setting and Login Script off when no phone
// number is stored; Login Script off in PPP mode.
ConfigButtons openingButtons(bool phoneStored, bool pppMode);

enum class ConfigField { Name, Octet, Phone, UserName, Password };

struct FieldChange {
    ConfigField field;
    bool empty = false;
    // The field holds one character past its limit (the dialog cuts it back).
    bool oneOver = false;
    // For an account field: the other account field is empty.
    bool otherEmpty = false;
};

struct ChangeEffect {
    ConfigButtons buttons;
    // Typing an account means logging in by PPP: the block's login mode
    // becomes PPP, and stays so when the field is emptied again.
    bool pppMode = false;
};

// The buttons after a change of one field's text, from the buttons before it.
ChangeEffect fieldChanged(ConfigButtons buttons, const FieldChange& change);

} // namespace varn
