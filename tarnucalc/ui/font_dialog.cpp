#include "font_dialog.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "colours.h"
#include "fonts.h"
#include "themes.h"

namespace tarnucalc::ui {

namespace {
constexpr int kDefaultHistoryPixels = 19;
QString U(const char *s) {
    return QString::fromUtf8(s);
}
}  // namespace

FontDialog::FontDialog(const tarnu::FontChoice &initial, QWidget *parent)
    : QDialog(parent), initial_(initial), colour_(initial.colour) {
    setObjectName(U("通用对话框1"));
    setWindowTitle(U("记录窗口字体设置"));
    face_ = new QFontComboBox(this);
    face_->setObjectName(U("字体"));
    const QString face = QString::fromStdString(initial.face);
    face_->setCurrentFont(QFont(QFontDatabase::hasFamily(face) ? face : CjkFamily()));
    size_ = new QSpinBox(this);
    size_->setObjectName(U("文字大小"));
    size_->setRange(6, 96);
    size_->setSuffix(U(" 像素"));
    size_->setValue(initial.size > 0 ? initial.size : kDefaultHistoryPixels);
    colourButton_ = new QPushButton(this);
    colourButton_->setObjectName(U("文字颜色"));
    preview_ = new QLabel(U("1+2=3  计算记录"), this);
    preview_->setObjectName(U("预览"));
    preview_->setMinimumHeight(48);
    preview_->setFrameShape(QFrame::StyledPanel);
    preview_->setAutoFillBackground(true);
    preview_->setBackgroundRole(QPalette::Base);

    auto *form = new QFormLayout;
    form->addRow(U("字体："), face_);
    form->addRow(U("大小："), size_);
    form->addRow(U("颜色："), colourButton_);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(U("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(U("取消"));
    auto *column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(preview_);
    column->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(colourButton_, &QPushButton::clicked, this, &FontDialog::pickColour);
    connect(face_, &QFontComboBox::currentFontChanged, this, [this] {
        faceTouched_ = true;
        updatePreview();
    });
    connect(size_, &QSpinBox::valueChanged, this, &FontDialog::updatePreview);
    updatePreview();
}

void FontDialog::pickColour() {
    const QColor c = QColorDialog::getColor(FromColourRef(colour_), this, U("文字颜色"));
    if (!c.isValid()) return;
    colour_ = ToColourRef(c);
    updatePreview();
}

void FontDialog::updatePreview() {
    preview_->setFont(UiFont(size_->value(), false, face_->currentFont().family()));
    QPalette p = preview_->palette();
    // The preview is drawn on the edit boxes' background, with their text role.
    p.setColor(QPalette::Text, FromColourRef(colour_));
    p.setColor(QPalette::WindowText, FromColourRef(colour_));
    p.setColor(QPalette::Base,
               BackgroundFor(FromColourRef(colour_),
                             QApplication::palette(preview_).color(QPalette::Base)));
    preview_->setPalette(p);
    QPixmap swatch(28, 12);
    swatch.fill(FromColourRef(colour_));
    colourButton_->setIcon(QIcon(swatch));
    colourButton_->setText(FromColourRef(colour_).name());
}

tarnu::FontChoice FontDialog::choice() const {
    tarnu::FontChoice font = initial_;
    if (faceTouched_) font.face = face_->currentFont().family().toStdString();
    if (size_->value() != initial_.size) font.size = size_->value();
    font.colour = colour_;
    return font;
}

std::optional<tarnu::FontChoice> FontDialog::Ask(const tarnu::FontChoice &initial,
                                                 QWidget *parent) {
    FontDialog dialog(initial, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.choice();
}

}  // namespace tarnucalc::ui
