// What Kelvo records from: the "Input" submenu and the stored choice.
#include "app/frmMain.h"
#include "base/EventGuard.h"
#include "settings/StoredSettings.h"
#include "winmm/input_choice.h"

#include <QActionGroup>

#include <algorithm>
#include <map>
#include <utility>

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

void frmMain::WatchInputs()
{
    // A burst of server events is read once.
    winmm::waveInWatchSources([this] {
        if (inputsChanged_.exchange(true)) return;
        QMetaObject::invokeMethod(this, [this] {
            inputsChanged_ = false;
            if (!unloaded_) kelvo::GuardEvent("Input", [this] { FillInputMenu(); });
        }, Qt::QueuedConnection);
    });
}

// The entries stay the same actions while their sources stay: a tray host
// that shows the menu knows each by the same id all along.
void frmMain::FillInputMenu()
{
    std::string current = winmm::waveInGetPreferred();
    if (current.empty()) current = winmm::kDefaultInput;

    std::vector<Entry> entries{{QStringLiteral("Default input"), winmm::kDefaultInput},
                               {QStringLiteral("What is playing"), winmm::kWhatIsPlaying},
                               {}};
    const std::vector<winmm::SourceInfo> sources = winmm::waveInSources();
    for (const winmm::SourceInfo& source : sources) {
        const auto same = std::count_if(sources.begin(), sources.end(), [&](const winmm::SourceInfo& other) {
            return other.description == source.description;
        });
        // Sources that share a description are told apart by their names.
        std::string text = source.description;
        if (same > 1) text += " (" + source.name + ")";
        // A description is shown as it is: "&" is no mnemonic here.
        entries.push_back({QString::fromStdString(text).replace('&', QStringLiteral("&&")), source.name});
    }

    auto* group = mnuInput->findChild<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly);
    if (!group) group = new QActionGroup(mnuInput);
    std::map<std::string, QAction*> old;
    for (QAction* action : mnuInput->actions()) old[action->data().toString().toStdString()] = action;
    QList<QAction*> wanted;
    for (const Entry& entry : entries) {
        QAction*& action = old[entry.choice];
        if (!action) {
            action = new QAction(mnuInput);
            if (entry.choice.empty()) {
                action->setSeparator(true);
            } else {
                action->setData(QString::fromStdString(entry.choice));
                action->setCheckable(true);
                group->addAction(action);
                connect(action, &QAction::triggered, this, [this, choice = entry.choice] {
                    kelvo::GuardEvent("Input", [&] { ChooseInput(choice); });
                });
            }
        }
        if (!entry.choice.empty()) {
            action->setText(entry.text);
            action->setChecked(entry.choice == current);
        }
        wanted.append(std::exchange(action, nullptr));
    }
    for (const auto& [choice, action] : old) delete action;  // the sources that went
    if (mnuInput->actions() == wanted) return;
    for (QAction* action : wanted) mnuInput->removeAction(action);
    mnuInput->addActions(wanted);
}

void frmMain::ChooseInput(const std::string& choice)
{
    winmm::waveInSetPreferred(choice);
    unsaved_.input = choice;
    StoreSettings(unsaved_);
}
