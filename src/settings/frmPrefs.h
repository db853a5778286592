// The preferences dialog: the frame interval, which its texts call the
// sampling rate, shown, stepped with an up-down control, typed, checked and
// applied to the main form.
#pragma once

#include "settings/UpDown.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

class frmPrefs : public QDialog {
    Q_OBJECT

public:
    // What the dialog needs of the main form.
    struct Owner {
        QWidget* window = nullptr;  // the dialog is owned by it and centred on it
        std::function<std::int16_t()> RefreshInterval;
        std::function<void(std::int16_t)> SetRefreshInterval;
    };

    explicit frmPrefs(Owner owner);
    ~frmPrefs() override;

    // Opens a new dialog over its owner and returns when it has closed.
    static void ShowModal(Owner owner);

    // Runs before every showing: the up-down control, the current interval,
    // "&Apply" disabled.
    void Form_Load();
    void ShowRate();
    // Applies the number the text begins with, or tells the user why not.
    void ApplyRate();

    QLabel* Label1;
    QLineEdit* txtFreq;
    QLabel* Label2;
    QLabel* Label3;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    std::unique_ptr<UpDown> oUpDown;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CentreOnOwner();

    Owner owner_;
};
