// The history font dialog: face, size and colour in one place, as the history box keeps
// them. Sizes are pixel heights, like every font of the windows.
#pragma once
#include <QDialog>
#include <optional>

#include "view.h"

class QFontComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace tarnucalc::ui {

class FontDialog : public QDialog {
    Q_OBJECT
  public:
    FontDialog(const tarnu::FontChoice &initial, QWidget *parent);

    // What the user confirmed; a face left untouched stays as it was given, even when it
    // is not installed here.
    tarnu::FontChoice choice() const;

    static std::optional<tarnu::FontChoice> Ask(const tarnu::FontChoice &initial, QWidget *parent);

  private:
    void pickColour();
    void updatePreview();

    tarnu::FontChoice initial_;
    tarnu::Colour colour_;
    bool faceTouched_ = false;
    QFontComboBox *face_;
    QSpinBox *size_;
    QPushButton *colourButton_;
    QLabel *preview_;
};

}  // namespace tarnucalc::ui
