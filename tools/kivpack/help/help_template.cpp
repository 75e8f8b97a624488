// The starting help source: one topic for each help context that the
// installer opens, in the order of the numbers. The numbers come from the
// installer's dialog table; the words are the vendor's to replace.
#include <map>
#include "tools/kivpack/help/help_file.h"
#include "ui/dialog_help.h"

namespace kivpack::help {
namespace {

struct DialogWords {
    unsigned short dialog;
    const char* title;
    const char* when;
};

// What each dialog is called and when the user meets it. A dialog without
// words here still gets a topic, named by its id.
const DialogWords Words[] = {
    {IDD_BAD_DRIVE, "Drive does not exist", "when the drive of the directory you entered does not exist"},
    {IDD_BAD_LINE, "Error in the installation script", "when a line of the installation script is faulty; the installation is aborted"},
    {IDD_NO_DIRECTORY, "Directory does not exist", "when the directory you entered does not exist"},
    {IDD_COPY_ERROR, "Copy error", "when a file cannot be copied; you can retry or cancel"},
    {IDD_CANNOT_CREATE, "Unable to create the directory", "when the directory you entered cannot be created"},
    {IDD_DISK_FULL, "Not enough disk space", "when the drive you chose has too little free space for the product"},
    {IDD_FONTS_ONLY, "Install fonts", "at the start, when the product installs fonts only"},
    {IDD_MISSING_KEY, "A line is missing from the installation script", "when a required line is missing from the installation script; the installation is aborted"},
    {IDD_INSERT_DISK, "Insert a disk", "when the files of the next installation disk are needed"},
    {IDD_FILE_NOT_FOUND, "File not found", "when a file of the installation cannot be found"},
    {IDD_OUT_OF_MEMORY, "Out of memory", "when Windows has too little memory to go on; the installation is aborted"},
    {IDD_CANNOT_START, "Unable to start the product", "when the installed product cannot be started at the end"},
    {IDD_DONE, "Installation complete", "when the installation has been completed successfully"},
    {IDD_NEW_INSTALL, "Choose the installation directory", "at the start of a new installation: enter the directory to install the product in"},
    {IDD_EARLIER_COPY, "An earlier copy is installed", "at the start, when an earlier copy of the product is installed"},
    {IDD_UPGRADE, "Upgrade the installed copy", "at the start, when the installed copy of the product is upgraded"},
    {IDD_TOO_MANY_DISKS, "Too many installation disks", "when the installation script names more disks than the installer can handle"},
    {IDD_NO_COPY_TO_UPGRADE, "No copy to upgrade", "at the start, when no installed copy of the product can be found to upgrade"},
    {IDD_WINDOWS_TOO_OLD, "A newer version of Windows is needed", "when this version of Windows is too old for the product"},
    {IDD_OTHER_PRODUCT, "Another product's uninstaller", "when the directory you entered holds the uninstaller of another product, which installing there would replace"},
};

} // namespace

std::string HelpTemplateSource()
{
    std::map<unsigned, std::string> topics;  // context -> source of its topic
    auto add = [&](unsigned context, const std::string& title, const std::string& when) {
        if (topics.count(context)) return;  // dialogs that share a topic: the first names it
        topics[context] = "# " + std::to_string(context) + " " + title + "\n\nThis dialog appears " + when +
                          ".\n\nReplace this text with help for your product.\n";
    };
    for (unsigned i = 0; i < DialogHelpTableSize; ++i) {
        const DialogHelpRow& row = DialogHelpTable[i];
        if (row.HelpContext == NoHelpContext || row.HelpContext == 0) continue;
        const DialogWords* words = nullptr;
        for (const DialogWords& w : Words)
            if (w.dialog == row.DialogId) words = &w;
        if (words) add(row.HelpContext, words->title, words->when);
        else add(row.HelpContext, "Dialog " + std::to_string(row.DialogId), "during the installation");
    }
    add(HelpBeingInstalledIn, "Directory already chosen for the product",
        "when the directory you entered for the disk files is the one the product is being installed in");
    add(HelpUsedForDisks, "Directory used for the installation disks",
        "when the directory you entered is the one the installation disks are read from");
    topics[HelpReadmeTopic] = "# " + std::to_string(HelpReadmeTopic) +
                              " Read me\n\nThis topic appears when you choose View readme file at the start, "
                              "or View font information when only fonts are installed.\n\n"
                              "Replace this text with your product's readme.\n";

    std::string out = "% Product Setup Help\n";
    for (const auto& topic : topics) out += "\n" + topic.second;
    return out;
}

} // namespace kivpack::help
