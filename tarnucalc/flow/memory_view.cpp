#include "memory_view.h"

namespace tarnu {

namespace {

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

MemoryView::MemoryView() {
    for (Box b : {Box::Expression, Box::History, Box::Cache, Box::FormulaEditor, Box::FormulaResult,
                  Box::KeypadMoney})
        boxes_[b] = BoxState{};
    setText(Box::FormulaEditor, kDefaultFormulaText);
}

void MemoryView::setText(Box box, const std::string &text) {
    BoxState &b = boxes_[box];
    b.text = text;
    b.selStart = b.selEnd = text.size();
}

void MemoryView::replaceSelection(Box box, const std::string &text) {
    BoxState &b = boxes_[box];
    size_t start = std::min(std::min(b.selStart, b.selEnd), b.text.size());
    size_t end = std::min(std::max(b.selStart, b.selEnd), b.text.size());
    b.text.replace(start, end - start, text);
    b.selStart = b.selEnd = start + text.size();
}

void MemoryView::appendText(Box box, const std::string &text) {
    setCaret(box, boxes_[box].text.size());
    replaceSelection(box, text);
}

void MemoryView::sendKey(Box box, EditKey key) {
    BoxState &b = boxes_[box];
    size_t start = std::min(b.selStart, b.selEnd);
    if (key == EditKey::Backspace && b.selStart != b.selEnd) {
        replaceSelection(box, "");
        return;
    }
    size_t pos = start;
    if (pos == 0) return;
    do --pos;
    while (pos > 0 && isContinuation(b.text[pos]));
    if (key == EditKey::Backspace) b.text.erase(pos, start - pos);
    b.selStart = b.selEnd = pos;
}

int MemoryView::caretLine(Box box) const {
    const BoxState &b = boxes_.at(box);
    size_t end = std::min(std::min(b.selStart, b.selEnd), b.text.size());
    int line = 0;
    for (size_t i = 0; i < end; ++i) line += b.text[i] == '\n';
    return line;
}

std::string MemoryView::digitsText() const {
    return digits >= 0 && digits < kDigitsEntries ? std::to_string(digits + 1) : "";
}

std::string MemoryView::skinText() const {
    return skin >= 0 && skin < static_cast<int>(kSkins.size())
               ? kSkins[static_cast<size_t>(skin)].name
               : "";
}

std::string MemoryView::nextAnswer(const FileDialogOptions &options) {
    dialogsShown.push_back(options);
    if (dialogAnswers.empty()) return "";
    std::string answer = dialogAnswers.front();
    dialogAnswers.pop_front();
    return answer;
}

std::string MemoryView::openFileDialog(const FileDialogOptions &options) {
    return nextAnswer(options);
}

std::string MemoryView::saveFileDialog(const FileDialogOptions &options) {
    return nextAnswer(options);
}

std::optional<FontChoice> MemoryView::fontDialog(const FontChoice &initial) {
    fontOffered = initial;
    return fontAnswer;
}

void MemoryView::createKeypad() {
    keypadOpen = true;
    keypad = {50, 50, 172, 330};
}

void MemoryView::type(Controller &c, const std::string &text) {
    for (char ch : text) {
        KeyKind kind = ch >= '0' && ch <= '9' ? KeyKind::MainDigit : KeyKind::Other;
        if (!c.onExpressionKey(kind)) replaceSelection(Box::Expression, std::string(1, ch));
    }
}

}  // namespace tarnu
