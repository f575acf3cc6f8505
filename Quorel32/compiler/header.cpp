// The header (`name(params : vars : module vars) =`), the body's brackets and the
// formula name at the start of the code bytes.
#include <cstring>

#include "../keys/keytree.h"
#include "context.h"
#include "name_table.h"

namespace quorel {

namespace {

bool TextIs(const Ctx &c, int i, const char *word) {
    int n = static_cast<int>(std::strlen(word));
    return TokLen(c, i) == n && std::memcmp(TokText(c, i), word, n) == 0;
}

bool Qualified(const Ctx &c, int i) {
    return std::memchr(TokText(c, i), ':', TokLen(c, i));
}

// A public formula clashes with every public formula of the name and with a private
// one of its own module; a private one with every formula of its module.
bool NameClashes(const char *name, int len, int m) {
    for (int type = KeyIntFor; type <= KeyComplexFor; ++type) {
        KeyEntry *e = KeySearch(name, len, type);
        for (auto *f = e ? static_cast<CompiledFormula *>(e->value) : nullptr; f; f = f->next) {
            Operand other = f->ints[ModuleNo];
            bool clash = m > 0 ? (other > 0 || other == -static_cast<Operand>(m))
                               : (other == m || other == -static_cast<Operand>(m));
            if (clash) return true;
        }
    }
    return false;
}

struct SectionReader {
    Ctx &c;
    NameTable names;  // the names read so far
    int section = 0;
    bool prevName = false;
    int pendingComma = -1;
    bool staticSeen = false;
    bool commonSeen = false;

    int Separator(int i, int count) {
        if (pendingComma >= 0)
            return TokErr(c, QUOREL_ERR_HEADER_COMMA, pendingComma, pendingComma);
        section += count;
        if (section > 2) return TokErr(c, QUOREL_ERR_HEADER_SECTIONS, i, i);
        prevName = false;
        return 0;
    }

    int Comma(int i) {
        if (!prevName) return TokErr(c, QUOREL_ERR_HEADER_COMMA, i, i);
        pendingComma = i;
        prevName = false;
        return 0;
    }

    int Name(int i) {
        if (prevName || Qualified(c, i)) return TokErr(c, QUOREL_ERR_HEADER_TOKEN, i, i);
        if (c.syn.imaginary && TokLen(c, i) == 1 &&
            (*TokText(c, i) == 'i' || *TokText(c, i) == 'I'))
            return TokErr(c, QUOREL_ERR_I_DECLARED, i, i);
        if (names.FindOrAdd(i) >= 0) return TokErr(c, QUOREL_ERR_DUPLICATE_NAME, i, i);
        bool isStatic = TextIs(c, i, "static"), isCommon = TextIs(c, i, "common");
        if ((isStatic && section != 1) || (isCommon && section != 2))
            return TokErr(c, QUOREL_ERR_SECTION_KEYWORD, i, i);
        if (section < 2) {
            int index = c.vars++;
            if (section == 0) ++c.params;
            if (isStatic) {
                staticSeen = true;
                c.staticFirst = index;
            } else if (staticSeen && TextIs(c, i, "free")) {
                c.freeVar = index;
            }
            c.b.tokenKinds[i] = TkHdrLocal;
            c.b.tokenValue[i] = index;
        } else {
            commonSeen = commonSeen || isCommon;
            c.b.tokenKinds[i] = commonSeen ? TkHdrCommon : TkHdrModule;
            c.b.tokenValue[i] = 0;
        }
        prevName = true;
        pendingComma = -1;
        return 0;
    }

    int Run() {
        for (int i = c.hdrOpen + 1; i < c.hdrClose; ++i) {
            int r;
            switch (c.b.tokenKinds[i]) {
                case TkColon:
                    r = Separator(i, 1);
                    break;
                case TkScope:
                    r = Separator(i, 2);
                    break;
                case TkComma:
                    r = Comma(i);
                    break;
                case TkName:
                    r = Name(i);
                    break;
                default:
                    r = TokErr(c, QUOREL_ERR_HEADER_TOKEN, i, i);
            }
            if (r) return r;
        }
        if (pendingComma >= 0)
            return TokErr(c, QUOREL_ERR_HEADER_COMMA, pendingComma, pendingComma);
        if (!staticSeen) c.staticFirst = c.vars;
        return 0;
    }
};

int FindHeader(Ctx &c) {
    for (int i = 3; i + 1 < c.n; ++i) {
        if (c.b.tokenKinds[i] == TkClose && c.b.tokenValue[i] == 0 &&
            c.b.tokenKinds[i + 1] == TkAssign)
            return i;
    }
    return -1;
}

}  // namespace

int ReadHeader(Ctx &c) {
    c.params = c.vars = c.freeVar = 0;
    c.nameTok = -1;
    int close = FindHeader(c);
    if (close < 0) {
        c.hdrOpen = 0, c.hdrClose = 1, c.hdrEq = 2;
        c.staticFirst = 0;
        return 0;
    }
    c.hdrClose = close;
    c.hdrEq = close + 1;
    if (c.b.tokenKinds[3] == TkName) {
        if (c.b.tokenKinds[4] != TkOpen || Qualified(c, 3))
            return TokErr(c, QUOREL_ERR_HEADER_NAME, 3, 3);
        c.nameTok = 3;
        c.hdrOpen = 4;
    } else if (c.b.tokenKinds[3] == TkOpen) {
        c.hdrOpen = 3;
    } else {
        return TokErr(c, QUOREL_ERR_HEADER_NAME, 3, 3);
    }
    if (c.b.tokenValue[c.hdrOpen] != 0)
        return TokErr(c, QUOREL_ERR_BRACKETS, c.hdrOpen, c.hdrClose);
    if (c.nameTok >= 0 && NameClashes(TokText(c, 3), TokLen(c, 3), c.module))
        return TokErr(c, QUOREL_ERR_NAME_CLASH, 3, 3);
    // Names are separated, so at most half the tokens between the brackets.
    SectionReader reader{c, NameTable(c, (c.hdrClose - c.hdrOpen) / 2)};
    return reader.Run();
}

int CheckBrackets(Ctx &c) {
    BuildBuffers &b = c.b;
    c.bodyOpen = c.hdrEq;
    b.tokenKinds[c.bodyOpen] = TkOpen;
    c.bodyClose = c.n++;
    b.tokenKinds[c.bodyClose] = TkClose;
    b.tokenValue[c.bodyOpen] = c.bodyClose;
    b.tokenValue[c.bodyClose] = c.bodyOpen;
    b.tokenBegin[c.bodyClose] = b.tokenEnd[c.bodyClose] = c.len > 0 ? c.len - 1 : 0;
    if (c.bodyClose == c.bodyOpen + 1)
        return OffErr(c, QUOREL_ERR_EMPTY, b.tokenBegin[c.bodyOpen], c.len - 1);
    // Open brackets wait on the call stack, which codegen needs as deep anyway.
    int depth = 0;
    for (int i = c.bodyOpen + 1; i < c.bodyClose; ++i) {
        if (b.tokenKinds[i] == TkOpen) {
            if (depth >= b.callCap) return GrowCalls;
            b.calls[depth++].token = i;
        } else if (b.tokenKinds[i] == TkClose) {
            if (depth == 0) return TokErr(c, QUOREL_ERR_BRACKETS, i, i);
            int open = b.calls[--depth].token;
            if (b.tokenValue[open] != b.tokenValue[i])
                return TokErr(c, QUOREL_ERR_BRACKETS, open, i);
            b.tokenValue[open] = i;
            b.tokenValue[i] = open;
        }
    }
    if (depth > 0)
        return OffErr(c, QUOREL_ERR_BRACKETS, b.tokenBegin[b.calls[depth - 1].token], c.len - 1);
    return 0;
}

int NameIntoCode(Ctx &c) {
    int len = c.nameTok >= 0 ? TokLen(c, c.nameTok) : 0;
    if (len + 7 >= c.b.codeCap) return GrowCodeBuf;
    c.b.code[RunStateByte] = 0;
    c.b.code[FlagsByte] = 0;
    if (len) std::memcpy(c.b.code + NameOffset, TokText(c, c.nameTok), len);
    c.b.code[NameOffset + len] = 0;
    c.strPos = NameOffset + len + 1;
    return 0;
}

}  // namespace quorel
