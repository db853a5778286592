// The about box: the applet's name and version, its legal line, and links to
// the home page and the support address. It keeps nothing between openings.
#pragma once

#include <QDialog>
#include <QIcon>

class LinkLabel;
class QLabel;
class QPushButton;

class frmAbout : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(const QIcon& appletIcon);

    // Shows a new box modally, without owner, and returns when it closes.
    static void ShowModal(const QIcon& appletIcon);

    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label17;
    QLabel* Label25;
    LinkLabel* lblURL;
    QLabel* Label26;
    LinkLabel* lblMail;
    QPushButton* Command1;

public slots:
    // Esc and the window's close button press Close, as a cancel button.
    void reject() override;

private:
    void Arrange();
    void lblURL_Click();
    void lblMail_Click();
    void OpenTarget(const QString& target);
};
