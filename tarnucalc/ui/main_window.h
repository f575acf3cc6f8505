// The main window: a strip of five page buttons over a tab control whose pages hold the
// calculator, the settings, the help text and the formula editor. The window only builds
// and lays out its controls; what they do is wired by the view (qt_view.h).
#pragma once
#include <QSize>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace tarnucalc::ui {

class BusyPanel;

// The windows were drawn with a classic window frame of this size around the client area;
// window sizes handed to the calculation flow include it, so that the designed outer sizes
// (and the compact and wide sizes derived from them) keep their meaning.
inline constexpr QSize kClassicFrame{8, 30};
inline constexpr QRect kMainDesign{50, 50, 312, 330};

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget *parent = nullptr);

    // Outer size in design terms (client size plus the classic frame).
    QSize OuterSize() const;
    void SetOuterSize(QSize outer);

    // Fits a control's width and height into the client area when a layout rule asks for
    // more room than there is, so that no scroll bar or border ends up outside the window.
    void FitControl(QWidget *control, int width, int height);

    QTabWidget *tabs;
    QPushButton *pageButtons[5];

    // Page 0
    QLineEdit *expression;
    QPushButton *cacheButton, *appendCacheButton, *clearExpressionButton, *clearHistoryButton;
    QPushButton *compactButton, *wideButton;
    QLineEdit *cache;
    QCheckBox *topMirror;
    QComboBox *functions;
    QPlainTextEdit *history;
    BusyPanel *busy;

    // Page 1; checks[1] to checks[10] are 选择框1 to 选择框10 (checks[10] is topMirror).
    QCheckBox *checks[11];
    QComboBox *skins, *digits;
    QPushButton *fontButton, *saveButton;

    // Page 2
    QPlainTextEdit *help;

    // Page 4
    QLabel *formulaCaption;
    QPlainTextEdit *formula;
    QPushButton *calcFormulaButton, *openFormulaButton, *saveFormulaButton;
    QLineEdit *formulaResult;

    // Marks the page in view on the page buttons.
    void MarkPage();
    bool keypadOpen = false;

    // Asked when the window is to close; false keeps it open for now.
    std::function<bool()> closeHandler;

  signals:
    void moved();
    void resized();

  protected:
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

  private:
    void BuildPageButtons();
    void BuildCalcPage(QWidget *page);
    void BuildSettingsPage(QWidget *page);
    void BuildHelpPage(QWidget *page);
    void BuildFormulaPage(QWidget *page);
};

}  // namespace tarnucalc::ui
