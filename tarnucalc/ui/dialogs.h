// The standard dialogs the calculator asks the user through. The windows get them from
// outside, so that tests can answer them.
#pragma once
#include <optional>
#include <string>

#include "view.h"

class QWidget;

namespace tarnucalc::ui {

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // A chosen path, or "" when cancelled.
    virtual std::string openFile(QWidget &parent, const tarnu::FileDialogOptions &options) = 0;
    virtual std::string saveFile(QWidget &parent, const tarnu::FileDialogOptions &options) = 0;
    // nullopt when cancelled.
    virtual std::optional<tarnu::FontChoice> font(QWidget &parent,
                                                  const tarnu::FontChoice &initial) = 0;
    virtual void fatal(QWidget &parent, const std::string &text) = 0;
};

// Qt's file dialogs, the history font dialog and a critical message box.
class QtDialogs : public Dialogs {
  public:
    std::string openFile(QWidget &parent, const tarnu::FileDialogOptions &options) override;
    std::string saveFile(QWidget &parent, const tarnu::FileDialogOptions &options) override;
    std::optional<tarnu::FontChoice> font(QWidget &parent,
                                          const tarnu::FontChoice &initial) override;
    void fatal(QWidget &parent, const std::string &text) override;
};

}  // namespace tarnucalc::ui
