// Splits the formula text into tokens with their first and last offsets.
#include <cstring>

#include "context.h"

namespace quorel {

namespace {

inline bool IsSpace(unsigned char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}
inline bool IsDigit(unsigned char ch) {
    return ch >= '0' && ch <= '9';
}
inline bool IsNameStart(unsigned char ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || ch == '_';
}
inline bool IsNameChar(unsigned char ch) {
    return IsNameStart(ch) || IsDigit(ch);
}
inline bool IsHex(unsigned char ch) {
    return IsDigit(ch) || (ch >= 'A' && ch <= 'F');
}
inline bool IsOpenChar(unsigned char ch) {
    return ch == '(' || ch == '[' || ch == '{';
}

struct Lexer {
    Ctx &c;
    const unsigned char *s;
    int pos;

    int SkipSpace(int p) const {
        while (IsSpace(s[p])) ++p;
        return p;
    }

    int Add(Tk kind, int begin, int end, Operand value = 0) {
        // A slot stays free for the body's closing bracket; the others are headroom.
        if (c.n + 4 > c.b.tokenCap) return GrowTokens;
        c.b.tokenKinds[c.n] = kind;
        c.b.tokenBegin[c.n] = begin;
        c.b.tokenEnd[c.n] = end;
        c.b.tokenValue[c.n] = value;
        ++c.n;
        return 0;
    }

    // A `.` is a dot token only after a name, a closing bracket or a string.
    bool DotAllowed() const {
        if (c.n <= 3) return false;
        Tk prev = static_cast<Tk>(c.b.tokenKinds[c.n - 1]);
        return prev == TkName || prev == TkClose || prev == TkString;
    }

    int Number() {
        int begin = pos, p = pos, dots = 0;
        for (; IsDigit(s[p]) || s[p] == '.'; ++p) {
            if (s[p] == '.' && ++dots > 1) return OffErr(c, QUOREL_ERR_NUMBER, begin, p);
        }
        if (s[p] == 'e' || s[p] == 'E') {
            int q = p + 1;
            if (s[q] == '+' || s[q] == '-') ++q;
            if (!IsDigit(s[q])) return OffErr(c, QUOREL_ERR_NUMBER, begin, q - 1);
            while (IsDigit(s[q])) ++q;
            if (s[q] == '.') return OffErr(c, QUOREL_ERR_NUMBER, begin, q);
            p = q;
        }
        pos = p;
        return Add(TkNumber, begin, p - 1);
    }

    int NameEnd(int p) const {
        while (IsNameChar(s[p])) ++p;
        return p;
    }

    // `a::b::c` directly followed by an opening bracket becomes one name token.
    int Name() {
        int begin = pos, end = NameEnd(pos);
        int last = end;
        for (int p = SkipSpace(end); s[p] == ':' && s[p + 1] == ':';) {
            int q = SkipSpace(p + 2);
            if (!IsNameStart(s[q])) break;
            last = NameEnd(q);
            p = SkipSpace(last);
            if (IsOpenChar(s[p])) {
                end = last;
                break;
            }
        }
        pos = end;
        return Add(TkName, begin, end - 1);
    }

    // Validates one string literal; the bytes are copied out later by resolution.
    int String() {
        int begin = pos, p = pos + 1;
        for (;;) {
            unsigned char ch = s[p];
            if (p >= c.len) return OffErr(c, QUOREL_ERR_OPEN_STRING, begin, c.len - 1);
            if (ch == '"') break;
            if (ch != '\\') {
                ++p;
                continue;
            }
            int esc = p;
            if (p + 1 >= c.len) return OffErr(c, QUOREL_ERR_OPEN_STRING, begin, c.len - 1);
            unsigned char sel = s[p + 1];
            if (sel == '\\' || sel == '"') {
                p += 2;
            } else if (sel == 'x') {
                int q = p + 2;
                while (q < p + 4 && q < c.len && IsHex(s[q])) ++q;
                if (q < p + 4) {
                    if (q >= c.len) return OffErr(c, QUOREL_ERR_OPEN_STRING, begin, c.len - 1);
                    return OffErr(c, QUOREL_ERR_BAD_ESCAPE, esc, q - 1);
                }
                p = q;
            } else if (IsDigit(sel)) {
                int q = p + 1;
                while (q < p + 4 && q < c.len && IsDigit(s[q])) ++q;
                if (q < p + 4) {
                    if (q >= c.len) return OffErr(c, QUOREL_ERR_OPEN_STRING, begin, c.len - 1);
                    return OffErr(c, QUOREL_ERR_BAD_ESCAPE, esc, q - 1);
                }
                p = q;
            } else {
                return OffErr(c, QUOREL_ERR_BAD_ESCAPE, esc, p + 1);
            }
        }
        pos = p + 1;
        return Add(TkString, begin, p);
    }

    int Operator() {
        static const struct {
            char a, b;
            Tk kind;
        } kPairs[] = {{'+', '+', TkInc}, {'-', '-', TkDec}, {'>', '=', TkGe},   {'<', '=', TkLe},
                      {'=', '=', TkEq},  {'!', '=', TkNe},  {':', ':', TkScope}};
        unsigned char ch = s[pos];
        for (const auto &pair : kPairs) {
            if (ch == pair.a && s[pos + 1] == pair.b) {
                pos += 2;
                return Add(pair.kind, pos - 2, pos - 1);
            }
        }
        Tk kind;
        Operand value = 0;
        switch (ch) {
            case '+':
                kind = TkPlus;
                break;
            case '-':
                kind = TkMinus;
                break;
            case '*':
                kind = TkMul;
                break;
            case '/':
                kind = TkDiv;
                break;
            case '>':
                kind = TkGt;
                break;
            case '<':
                kind = TkLt;
                break;
            case '&':
                kind = TkAnd;
                break;
            case '|':
                kind = TkOr;
                break;
            case '!':
                kind = TkNot;
                break;
            case '=':
                kind = TkAssign;
                break;
            case ',':
                kind = TkComma;
                break;
            case ':':
                kind = TkColon;
                break;
            case '(':
                kind = TkOpen;
                break;
            case '[':
                kind = TkOpen, value = 1;
                break;
            case '{':
                kind = TkOpen, value = 2;
                break;
            case ')':
                kind = TkClose;
                break;
            case ']':
                kind = TkClose, value = 1;
                break;
            case '}':
                kind = TkClose, value = 2;
                break;
            case '.':
                kind = TkDot;
                break;
            case '^':
                if (!c.syn.power) return OffErr(c, QUOREL_ERR_BAD_TOKEN, pos, pos);
                kind = TkPow;
                break;
            case '%':
                if (!c.syn.remainder) return OffErr(c, QUOREL_ERR_BAD_TOKEN, pos, pos);
                kind = TkMod;
                break;
            default:
                return OffErr(c, QUOREL_ERR_BAD_TOKEN, pos, pos);
        }
        ++pos;
        return Add(kind, pos - 1, pos - 1, value);
    }

    int Run() {
        for (;;) {
            pos = SkipSpace(pos);
            if (pos >= c.len) return 0;
            unsigned char ch = s[pos];
            int r;
            if (IsDigit(ch) || (ch == '.' && !DotAllowed()))
                r = Number();
            else if (IsNameStart(ch))
                r = Name();
            else if (ch == '"')
                r = String();
            else
                r = Operator();
            if (r) return r;
        }
    }
};

}  // namespace

int Lex(Ctx &c) {
    if (c.b.tokenCap < 8 || !c.b.tokenKinds) return GrowTokens;
    // Tokens 0..2 are an implicit empty header `()=`, used when the text has none.
    static const Tk kImplicit[3] = {TkOpen, TkClose, TkAssign};
    for (int i = 0; i < 3; ++i) {
        c.b.tokenKinds[i] = kImplicit[i];
        c.b.tokenBegin[i] = c.b.tokenEnd[i] = 0;
        c.b.tokenValue[i] = 0;
    }
    c.n = 3;
    Lexer lx{c, reinterpret_cast<const unsigned char *>(c.text), 0};
    int r = lx.Run();
    if (r) return r;
    if (c.n == 3) return OffErr(c, QUOREL_ERR_EMPTY, 0, c.len > 0 ? c.len - 1 : 0);
    return 0;
}

}  // namespace quorel
