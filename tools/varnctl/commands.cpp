#include "commands.h"

#include "backup.h"
#include "cli.h"
#include "config/block_rules.h"
#include "devices/config_chain.h"
#include "devices/devices_state.h"
#include "devices/login_check.h"
#include "devices/password_cache.h"
#include "devices/same_network.h"
#include "edit.h"
#include "files.h"
#include "interfaces.h"
#include "link/device_state.h"
#include "link/request_plans.h"
#include "output.h"
#include "protocol/device_config.h"
#include "protocol/handed_socket.h"
#include "protocol/wire.h"
#include "session.h"
#include "terminal.h"
#include "text.h"
#include "texts.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>

namespace varnctl {

namespace {

int fail(int status, const std::string& text) {
    std::fprintf(stderr, "varnctl: %s\n", text.c_str());
    return status;
}

void say(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

class Runner {
  public:
    explicit Runner(const Options& options) : o_(options), session_(options.endpoint, ui_) {}

    int open() {
        std::string error;
        if (!session_.open(&error))
            return fail(kExitFailure, error);
        return kExitOk;
    }

    int discover();
    int status();
    int configGet();
    int configPut();
    int configSet();
    int setIp();

  private:
    varn::Link& link() { return session_.link(); }

    int chooseAppliance();
    int checkReachable();
    int readConfiguration();
    int login(const std::optional<std::string>& filePassword);
    int readAndLogIn(const std::optional<std::string>& filePassword);
    int passwordFromFile(std::optional<std::string>& password);
    int readBack(const varn::DeviceConfig& written);
    int refuseFaults(const varn::DeviceConfig& block, const std::string& what, const char* nothing);
    int writeConfiguration(const varn::DeviceConfig& block, bool otherAppliance);
    int restore(varn::ConfigChain& chain, const varn::DeviceConfig& present, bool newAcknowledged,
                const std::string& when);
    std::string target() { return o_.name + " (" + varn::dottedText(link().targetAddress()) + ")"; }

    const Options& o_;
    ConsoleUi ui_;
    Session session_;
};

// The appliance NAME becomes the chosen appliance (the requests that name an
// appliance take its name and address from there) and the target of unicasts.
int Runner::chooseAppliance() {
    const varn::ShownName wanted = varn::shownName(o_.name);
    if (o_.address) {
        link().chooseDevice(varn::DeviceEntry{wanted, *o_.address, varn::kStateIdle});
    } else {
        if (!session_.sweep(varn::kDiscoveryInterval))
            return fail(kExitCancelled, "interrupted");
        const varn::DeviceTable& devices = link().devices();
        std::vector<int> matches;
        for (int i = 0; i < devices.deviceCount(); ++i)
            if (devices.entry(i).name == wanted)
                matches.push_back(i);
        if (matches.empty())
            return fail(kExitNoAnswer,
                        "no appliance named \"" + o_.name + "\" answered the discovery broadcast");
        if (matches.size() > 1) {
            std::string addresses;
            for (int i : matches)
                addresses +=
                    (addresses.empty() ? "" : ", ") + varn::dottedText(devices.entry(i).address);
            return fail(kExitBadInput, std::to_string(matches.size()) + " appliances are named \"" +
                                           o_.name + "\" (" + addresses +
                                           "); choose one with --address");
        }
        link().chooseDevice(matches[0]);
    }
    link().setTargetAddress(link().chosenDevice().address);
    return kExitOk;
}

// Unicasts reach only an appliance on this PC's classful network.
int Runner::checkReachable() {
    const std::uint32_t targetAddress = link().targetAddress();
    std::uint32_t local = sourceAddressFor(targetAddress, o_.endpoint.devicePort);
    if (local == 0)
        local = session_.endpoint().localAddress;
    if (local == 0 || varn::sameNetwork(targetAddress, local))
        return kExitOk;
    return fail(kExitFailure, target() + " is outside this PC's network (" +
                                  varn::dottedText(local) +
                                  "), so requests to it would not arrive. Give it an address on "
                                  "this network first: varnctl set-ip " +
                                  o_.name + " NEW-IP");
}

// The Config chain up to the login: the firmware-versions query, then the
// read-configuration request, with the Device List's tries and intervals.
int Runner::readConfiguration() {
    if (int rc = chooseAppliance(); rc != kExitOk)
        return rc;
    if (int rc = checkReachable(); rc != kExitOk)
        return rc;
    for (varn::PollPlan plan : varn::ConfigChain::readPlans()) {
        switch (session_.await(std::move(plan))) {
        case Session::Wait::Answered:
            break;
        case Session::Wait::GaveUp:
            return fail(kExitNoAnswer, std::string(varn::texts::kChainFailed) + " (" + target() +
                                           " did not answer)");
        case Session::Wait::Interrupted:
            return fail(kExitCancelled, "interrupted");
        }
    }
    return kExitOk;
}

// The administrator login, checked against the block just read. A refusal is
// one message: the dialogs' text with the appliance named.
int Runner::login(const std::optional<std::string>& filePassword) {
    struct Refusal : varn::SilentUserInterface {
        std::string text;
        void showMessage(const std::string& t, varn::MessageIcon) override { text = t; }
    } refusal;
    varn::PasswordCache cache;
    Answer answer = Answer::Given;
    const varn::PasswordPrompt prompt = [&](std::string& entered) {
        if (filePassword) {
            entered = *filePassword;
            return true;
        }
        answer = askSecret("Device Password : ", entered);
        return answer == Answer::Given;
    };
    if (varn::loginCheck(session_.config(), cache, prompt, refusal) == 0)
        return kExitOk;
    switch (answer) {
    case Answer::NoTerminal:
        return fail(kExitBadInput, target() + " has an administrator password and there is no "
                                              "terminal to ask it on; give it with "
                                              "--password-file FILE");
    case Answer::Cancelled:
        return fail(kExitCancelled, "no password given; nothing was done");
    case Answer::Given:
        break;
    }
    return fail(kExitWrongPassword, refusal.text + " (" + target() + " refused the password)");
}

// Opens the endpoint and runs the Config chain up to and including the login.
int Runner::readAndLogIn(const std::optional<std::string>& filePassword) {
    if (int rc = open(); rc != kExitOk)
        return rc;
    if (int rc = readConfiguration(); rc != kExitOk)
        return rc;
    return login(filePassword);
}

// The password of --password-file, read before anything is sent.
int Runner::passwordFromFile(std::optional<std::string>& password) {
    if (o_.passwordFile.empty())
        return kExitOk;
    std::string text, warning, error;
    if (!readPasswordFile(o_.passwordFile, text, &warning, &error))
        return fail(kExitFailure, error + "; nothing was sent");
    if (!warning.empty())
        std::fprintf(stderr, "varnctl: warning: %s\n", warning.c_str());
    password = text;
    return kExitOk;
}

int Runner::discover() {
    std::vector<DeviceRow> rows;
    if (o_.allInterfaces) {
        const std::vector<InterfaceAddress> interfaces = broadcastInterfaces(listInterfaces());
        if (interfaces.empty())
            return fail(kExitFailure, "no IPv4 interface with a broadcast address is up");
        for (const InterfaceAddress& i : interfaces) {
            // One sweep at a time, each from its own endpoint: broadcasts go
            // out on the interface's own broadcast address and come from its
            // address.
            varn::EndpointSettings settings = o_.endpoint;
            settings.broadcastAddress = i.broadcast;
            settings.probeAddress = i.broadcast;
            Session sweep(settings, ui_);
            std::string error;
            if (!sweep.open(&error))
                return fail(kExitFailure, i.name + ": " + error);
            if (!sweep.sweep(o_.timeoutMs))
                return fail(kExitCancelled, "interrupted");
            for (DeviceRow& row : deviceRows(sweep.link().devices(), i.name))
                rows.push_back(std::move(row));
        }
    } else {
        if (int rc = open(); rc != kExitOk)
            return rc;
        if (!session_.sweep(o_.timeoutMs))
            return fail(kExitCancelled, "interrupted");
        rows = deviceRows(link().devices(), "");
    }
    say(o_.json ? devicesJson(rows, o_.allInterfaces) : devicesTable(rows, o_.allInterfaces));
    if (rows.empty())
        return fail(kExitNoAnswer, "no appliance answered the discovery broadcast");
    return kExitOk;
}

int Runner::status() {
    if (int rc = open(); rc != kExitOk)
        return rc;
    link().clearMonitor();
    link().sendRequest(varn::kStatusPoll);
    int wait = varn::kStatusFirstRefresh;
    for (bool first = true;; first = false) {
        if (!session_.pump(wait))
            return o_.watch ? kExitOk : fail(kExitCancelled, "interrupted"); // Ctrl-C ends watching
        const std::vector<StatusRow> rows = statusRows(link().monitor());
        if (o_.json) {
            say(statusJson(rows, utcNow()));
        } else {
            if (o_.watch)
                say(std::string(first ? "" : "\n") + "-- " + utcNow() + " --\n");
            say(statusTable(rows));
        }
        if (!o_.watch)
            return rows.empty() ? fail(kExitNoAnswer, "no appliance answered the status poll")
                                : kExitOk;
        // Until its next answer, each appliance seen so far reads "Unknown".
        link().markMonitorUnknown(link().monitor().monitorCount());
        link().sendRequest(varn::kStatusPoll);
        wait = varn::kStatusRefreshInterval;
    }
}

int Runner::configGet() {
    const bool toFile = !o_.outputFile.empty() && o_.outputFile != "-";
    if (std::string error; toFile && !checkOutputFile(o_.outputFile, &error))
        return fail(kExitFailure, error + "; nothing was sent");
    std::optional<std::string> password;
    if (int rc = passwordFromFile(password); rc != kExitOk)
        return rc;
    if (int rc = readAndLogIn(password); rc != kExitOk)
        return rc;
    if (!o_.field.empty()) {
        const auto text = fieldText(session_.config(), o_.field);
        if (!text)
            return fail(kExitBadInput, o_.field + " is not used in the login mode of " + target() +
                                           " (loginMode " +
                                           std::to_string(session_.config().loginMode()) + ")");
        say(*text + "\n");
        return kExitOk;
    }

    Backup backup;
    backup.block = session_.config();
    backup.source = {backup.block.deviceName(), varn::dottedText(link().targetAddress()),
                     link().proxyFirmwareVersion(), utcNow()};
    const std::string text = writeBackup(backup);
    if (!toFile) {
        say(text);
        return kExitOk;
    }
    std::string error;
    if (!writeOutputFile(o_.outputFile, text, &error))
        return fail(kExitFailure, error);
    std::fprintf(stderr, "varnctl: saved the configuration of %s to %s\n", target().c_str(),
                 o_.outputFile.c_str());
    return kExitOk;
}

int Runner::configPut() {
    // The file first: a bad one is refused before anything is sent.
    std::string text, error;
    switch (readInputFile(o_.inputFile, kBackupMaxBytes, text, &error)) {
    case FileRead::Read:
        break;
    case FileRead::Unreadable:
        return fail(kExitFailure, error + "; nothing was sent");
    case FileRead::TooLarge: // the wrong file, not a failure to read one
        return fail(kExitBadInput, error + "; nothing was sent");
    }
    const BackupRead read = readBackup(text);
    if (!read.backup)
        return fail(kExitBadInput, o_.inputFile + ": " + read.error + "; nothing was sent");
    const varn::DeviceConfig& block = read.backup->block;
    // A backup of another appliance would give this one its name and address.
    const bool other = varn::shownName(block.deviceName()) != varn::shownName(o_.name);
    if (other && !o_.otherAppliance)
        return fail(kExitBadInput,
                    o_.inputFile + " is the backup of \"" + latin1ToUtf8(block.deviceName()) +
                        "\", not of \"" + o_.name + "\": it would give " + o_.name +
                        " that name and the LAN address " + varn::dottedText(block.lanIpAddress()) +
                        ". Give --other-appliance to write it all the same; nothing was sent");
    if (int rc = refuseFaults(block, o_.inputFile + "'s block", "nothing was sent"); rc != kExitOk)
        return rc;
    std::optional<std::string> password;
    if (int rc = passwordFromFile(password); rc != kExitOk)
        return rc;
    if (int rc = readAndLogIn(password); rc != kExitOk)
        return rc;
    return writeConfiguration(block, other);
}

// A block the configuration dialogs could not have stored, unless --force.
int Runner::refuseFaults(const varn::DeviceConfig& block, const std::string& what,
                         const char* nothing) {
    const std::vector<std::string> faults = varn::blockFaults(block);
    if (faults.empty() || o_.force)
        return kExitOk;
    std::string why = what + " breaks the configuration dialogs' rules:";
    for (const std::string& f : faults)
        why += "\n  " + f;
    return fail(kExitBadInput, why + "\nGive --force to write it all the same; " + nothing);
}

int Runner::configSet() {
    std::optional<std::string> password;
    if (int rc = passwordFromFile(password); rc != kExitOk)
        return rc;
    if (int rc = readAndLogIn(password); rc != kExitOk)
        return rc;
    const Edit edit =
        applyAssignments(session_.config(), o_.assignments, loopbackAppliances(o_.endpoint));
    if (!edit.errors.empty()) {
        std::string why;
        for (const std::string& e : edit.errors)
            why += (why.empty() ? "" : "; ") + e;
        return fail(kExitBadInput, why + "; nothing was written");
    }
    if (int rc = refuseFaults(edit.block, "the changed block", "nothing was written");
        rc != kExitOk)
        return rc;
    return writeConfiguration(edit.block, false);
}

// Shows the change, asks (unless --yes), then writes, reads back and resets.
int Runner::writeConfiguration(const varn::DeviceConfig& block, bool otherAppliance) {
    const varn::DeviceConfig present = session_.config();
    const BlockDiff diff = diffBlocks(present, block, otherAppliance);
    if (diff.bytesDiffering == 0) {
        say(target() + " already holds this configuration; nothing was sent.\n");
        return kExitOk;
    }
    say("Changes to " + target() + (otherAppliance ? ", from another appliance's backup" : "") +
        ":\n" + formatDiff(diff));
    if (!o_.yes) {
        bool yes = false;
        switch (
            askYesNo("Write this configuration to " + target() + " and reset it? [y/N] ", yes)) {
        case Answer::NoTerminal:
            return fail(kExitBadInput, "no terminal to confirm on; give --yes to write without "
                                       "asking. Nothing was written");
        case Answer::Cancelled:
            return fail(kExitCancelled, "nothing was written");
        case Answer::Given:
            if (!yes)
                return fail(kExitCancelled, "nothing was written");
            break;
        }
    }

    // As the Device List and the Configuration dialog do it: begin, save and
    // wait for the appliance's own acknowledgement, then reset. Until the block
    // is acknowledged a failure tells the appliance to abandon the
    // configuration; after it the block is stored there, and is read back
    // before the reset makes it take effect.
    if (interrupted())
        return fail(kExitCancelled, "interrupted; nothing was written");
    varn::DevicesState chainState;
    varn::ConfigChain chain(link(), session_.config(), chainState);
    auto abandon = [&](int status, const std::string& why) {
        chain.abandon();
        return fail(status, why + " (" + target() + " was told to abandon the configuration)");
    };
    chain.begin();
    session_.config() = block;
    switch (session_.await(varn::saveConfigPlan())) {
    case Session::Wait::Answered:
        break;
    case Session::Wait::GaveUp:
        return abandon(kExitNoAnswer, varn::texts::kNotSaved);
    case Session::Wait::Interrupted:
        return restore(chain, present, false, "while saving");
    }
    const varn::DeviceConfig written = block;
    if (int rc = readBack(written); rc != kExitOk)
        return rc == kExitCancelled ? restore(chain, present, true, "while reading back") : rc;
    switch (session_.await(varn::resetPlan())) {
    case Session::Wait::Answered:
        break;
    case Session::Wait::GaveUp:
        return fail(kExitNotReset, "the configuration was saved and read back, but " + target() +
                                       " did not confirm the reset; it takes effect when the "
                                       "appliance next resets");
    case Session::Wait::Interrupted:
        return restore(chain, present, true, "while resetting");
    }
    say("Wrote the configuration to " + target() + ".\n");
    return kExitOk;
}

// Interrupted once the block may be stored: the block read at the start goes
// back first, whatever further signals say, and only once the appliance has
// acknowledged it is it told to abandon the configuration. An appliance that
// acknowledged the new block and not the old one is never told to abandon.
int Runner::restore(varn::ConfigChain& chain, const varn::DeviceConfig& present,
                    bool newAcknowledged, const std::string& when) {
    std::fprintf(stderr,
                 "varnctl: interrupted %s; writing back the configuration read at the "
                 "start\n",
                 when.c_str());
    session_.config() = present;
    if (session_.await(varn::saveConfigPlan(), false) == Session::Wait::Answered) {
        chain.abandon();
        return fail(kExitCancelled, target() + " holds the configuration read at the start again "
                                               "and was told to abandon the configuration");
    }
    if (newAcknowledged)
        return fail(kExitCancelled, target() + " did not acknowledge the configuration written "
                                               "back: it holds the new configuration, not reset "
                                               "(check with varnctl config get)");
    chain.abandon();
    return fail(kExitCancelled, target() + " acknowledged neither configuration and was told to "
                                           "abandon the configuration; check with varnctl config "
                                           "get");
}

// The block as the appliance holds it after the write, read under the name
// the new block gives it; it must be the block written.
int Runner::readBack(const varn::DeviceConfig& written) {
    link().chooseDevice(
        varn::DeviceEntry{varn::shownName(written.deviceName()), link().targetAddress(), 0});
    switch (session_.await(varn::readConfigPlan())) {
    case Session::Wait::Answered:
        break;
    case Session::Wait::GaveUp:
        return fail(kExitNoAnswer, "the configuration was saved, but " + target() +
                                       " did not answer when it was read back; it was not reset");
    case Session::Wait::Interrupted:
        return kExitCancelled; // the caller writes the old block back
    }
    if (session_.config() == written)
        return kExitOk;
    const BlockDiff diff = diffBlocks(written, session_.config());
    return fail(kExitFailure, target() + " holds another configuration than the one written (" +
                                  std::to_string(diff.bytesDiffering) +
                                  " bytes differ); it was not reset");
}

int Runner::setIp() {
    if (int rc = open(); rc != kExitOk)
        return rc;
    if (int rc = chooseAppliance(); rc != kExitOk)
        return rc;
    session_.config().setLanIpAddress(o_.newAddress);
    const std::string name = target();
    switch (session_.await(varn::setIpPlan())) {
    case Session::Wait::Answered:
        break;
    case Session::Wait::GaveUp:
        return fail(kExitNoAnswer,
                    std::string(varn::texts::kAddressNotSaved) + " (" + name + " did not answer)");
    case Session::Wait::Interrupted:
        return fail(kExitCancelled, "interrupted");
    }
    say(std::string(varn::texts::kAddressSaved) + " " + o_.name + " moves to " +
        varn::dottedText(o_.newAddress) + ".\n");
    // The network the broadcast went out on, where the appliance is now.
    std::uint32_t local = session_.endpoint().localAddress;
    if (local == 0)
        local = sourceAddressFor(o_.endpoint.broadcastAddress, o_.endpoint.devicePort);
    if (local != 0 && !varn::sameNetwork(o_.newAddress, local))
        std::fprintf(stderr, "varnctl: note: %s is still outside this PC's network (%s)\n",
                     varn::dottedText(o_.newAddress).c_str(), varn::dottedText(local).c_str());
    return kExitOk;
}

} // namespace

int run(const std::vector<std::string>& args, char* const argv[]) {
    const Parsed parsed = parseArguments(args);
    if (!parsed.options) {
        std::fprintf(stderr, "varnctl: %s\nTry 'varnctl --help'.\n", parsed.error.c_str());
        return kExitBadInput;
    }
    Options o = *parsed.options;
    if (args.empty()) { // no command: a mistake in a script, not a request for help
        std::fputs(helpText("").c_str(), stderr);
        return kExitBadInput;
    }
    if (o.command == varnctl::Command::Help) {
        say(helpText(o.helpTopic));
        return kExitOk;
    }
    if (argv != nullptr)
        o.endpoint.handed = varn::portFromHelper(argv, o.endpoint.localPort);
    installInterruptHandlers();
    Runner command(o);
    switch (o.command) {
    case varnctl::Command::Discover:
        return command.discover();
    case varnctl::Command::Status:
        return command.status();
    case varnctl::Command::ConfigGet:
        return command.configGet();
    case varnctl::Command::ConfigPut:
        return command.configPut();
    case varnctl::Command::ConfigSet:
        return command.configSet();
    case varnctl::Command::SetIp:
        return command.setIp();
    case varnctl::Command::Help:
        break;
    }
    return kExitOk;
}

} // namespace varnctl
