// What Kelvo records from: the "Input" submenu and the stored choice.
#include "app/EventGuard.h"
#include "app/frmMain.h"
#include "settings/StoredSettings.h"
#include "winmm/input_choice.h"

#include <QActionGroup>

namespace {

struct Entry {
    QString text;
    std::string choice;
};

}  // namespace

void frmMain::LoadInputChoice(const StoredSettings& stored)
{
    // PULSE_SOURCE, set for this run, wins over the stored choice.
    if (winmm::waveInGetPreferred().empty()) winmm::waveInSetPreferred(stored.input);
}

void frmMain::FillInputMenu()
{
    qDeleteAll(mnuInput->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly));
    mnuInput->clear();
    std::string current = winmm::waveInGetPreferred();
    if (current.empty()) current = winmm::kDefaultInput;

    std::vector<Entry> entries{{QStringLiteral("Default input"), winmm::kDefaultInput},
                               {QStringLiteral("What is playing"), winmm::kWhatIsPlaying},
                               {}};
    for (const winmm::SourceInfo& source : winmm::waveInSources()) {
        // A description is shown as it is: "&" is no mnemonic here.
        entries.push_back({QString::fromStdString(source.description).replace('&', QStringLiteral("&&")), source.name});
    }
    auto* group = new QActionGroup(mnuInput);
    for (const Entry& entry : entries) {
        if (entry.choice.empty()) {
            mnuInput->addSeparator();
            continue;
        }
        QAction* action = mnuInput->addAction(entry.text);
        action->setCheckable(true);
        action->setChecked(entry.choice == current);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, choice = entry.choice] {
            kelvo::GuardEvent("Input", [&] { ChooseInput(choice); });
        });
    }
}

void frmMain::ChooseInput(const std::string& choice)
{
    winmm::waveInSetPreferred(choice);
    unsaved_.input = choice;
    StoreSettings(unsaved_);
}
