#pragma once

// Which embedded movies are recompressed and when a recompressed movie replaces its source.
// Lives for the whole run; closing only hides it.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace settings {
struct Settings;
}

namespace settings::dialogs {

class frmMovieOption : public QDialog {
public:
    frmMovieOption(Settings& settings, QWidget* parent = nullptr);

    // Puts the three items into each list (start-up, before the saved choices are shown).
    void FillLists();
    // Shows MovieTarget, MovieCond and MediaInDeck; an index outside a list selects its first item.
    void ShowSettings();

    void Form_Load();
    void btnOK_Click();
    void btnReset_Click();

    QComboBox* combTarget = nullptr;
    QComboBox* combCond = nullptr;
    QCheckBox* chkMedia = nullptr; // MediaInDeck: the movies and sound inside presentations too
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnReset = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override; // Form_QueryUnload: hide instead

private:
    Settings& settings_;
};

} // namespace settings::dialogs
