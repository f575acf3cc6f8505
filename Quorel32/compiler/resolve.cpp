// Resolution: every number, string and name of the body becomes a constant, a
// variable, or a call target, in the order in which the code will use them.
#include <cstdlib>
#include <cstring>

#include "../base/alloc.h"
#include "../base/runerr.h"
#include "../keys/keytree.h"
#include "../registry/modules.h"
#include "../registry/registry.h"
#include "domain_syntax.h"
#include "name_table.h"

namespace quorel {

namespace {

void QUOREL_CALL FreeCell(void *cell) {
    qfree(cell);
}

bool SameText(const Ctx &c, int i, int j) {
    int n = TokLen(c, i);
    return n == TokLen(c, j) && std::memcmp(TokText(c, i), TokText(c, j), n) == 0;
}

bool TextIs(const Ctx &c, int i, const char *word) {
    int n = static_cast<int>(std::strlen(word));
    return TokLen(c, i) == n && std::memcmp(TokText(c, i), word, n) == 0;
}

bool IsImaginaryUnit(const Ctx &c, int i) {
    return c.b.tokenKinds[i] == TkName && TokLen(c, i) == 1 &&
           (*TokText(c, i) == 'i' || *TokText(c, i) == 'I');
}

// Decodes a validated string literal into `out` (NUL-terminated); returns its length.
int DecodeString(const char *s, int tokenLen, std::uint8_t *out) {
    int n = 0;
    for (int p = 1; p < tokenLen - 1;) {
        if (s[p] != '\\') {
            out[n++] = static_cast<std::uint8_t>(s[p++]);
        } else if (s[p + 1] == 'x') {
            auto hex = [](char ch) { return ch <= '9' ? ch - '0' : ch - 'A' + 10; };
            out[n++] = static_cast<std::uint8_t>(hex(s[p + 2]) * 16 + hex(s[p + 3]));
            p += 4;
        } else if (s[p + 1] >= '0' && s[p + 1] <= '9') {
            int v = (s[p + 1] - '0') * 100 + (s[p + 2] - '0') * 10 + (s[p + 3] - '0');
            out[n++] = static_cast<std::uint8_t>(v % 256);
            p += 4;
        } else {
            out[n++] = static_cast<std::uint8_t>(s[p + 1]);
            p += 2;
        }
    }
    out[n] = 0;
    return n;
}

int AddDependency(Ctx &c, Operand *head) {
    Operand *top = c.b.ints + c.b.intCap;
    Operand entry = reinterpret_cast<Operand>(head);
    for (int k = 1; k <= c.deps; ++k) {
        if (top[-k] == entry) return 0;
    }
    if (OperandStart + 6 + c.deps + 1 > c.b.intCap) return GrowInts;
    top[-(++c.deps)] = entry;
    return 0;
}

template <class D>
struct Resolver {
    using T = CompileTraits<D>;
    using Value = typename D::Value;
    Ctx &c;
    NameTable headerNames = HeaderNames();

    Value *values() { return ValueBuf<D>(c); }

    void SetConst(int i, Value v) {
        values()[c.pool] = v;
        c.b.tokenKinds[i] = TkConst;
        c.b.tokenValue[i] = c.pool++;
    }

    int Number(int i) {
        int len = TokLen(c, i);
        if (len + 2 > c.b.tokenCap) return GrowTokens;
        char *scratch = reinterpret_cast<char *>(c.b.opStack);
        std::memcpy(scratch, TokText(c, i), len);
        scratch[len] = 0;
        double d = std::strtod(scratch, nullptr);
        if (D::hasImaginary && IsImaginaryUnit(c, i + 1)) {
            c.b.tokenKinds[i + 1] = TkRemoved;
            SetConst(i, T::Imaginary(d));
        } else {
            SetConst(i, T::Literal(d));
        }
        return 0;
    }

    int String(int i) {
        int len = TokLen(c, i);
        if (c.strPos + len + 5 >= c.b.codeCap) return GrowCodeBuf;
        int offset = c.strPos;
        c.strPos += DecodeString(TokText(c, i), len, c.b.code + offset) + 1;
        SetConst(i, T::Literal(offset));
        return 0;
    }

    // The cell of a module or common variable, created zeroed on first use.
    int Cell(int i, int hdr) {
        if (c.b.tokenValue[hdr]) return 0;
        char *key = reinterpret_cast<char *>(c.b.opStack);
        int nameLen = TokLen(c, i), keyLen = 0;
        if (nameLen + 14 > c.b.tokenCap) return GrowTokens;
        if (c.b.tokenKinds[hdr] == TkHdrModule) keyLen = ModuleKey(c.module, key);
        std::memcpy(key + keyLen, TokText(c, i), nameLen);
        keyLen += nameLen;
        KeyEntry *e = KeySearch(key, keyLen, D::cellKey);
        if (!e) {
            void *cell = qnew<Value>();
            if (!cell) return TokErr(c, QUOREL_ERR_NO_MEMORY, i, i);
            if (KeyInsert(key, keyLen, D::cellKey, cell, FreeCell, &e) != InsertNew) {
                qfree(cell);
                if (!e) return TokErr(c, QUOREL_ERR_NO_MEMORY, i, i);
            }
        }
        c.b.tokenValue[hdr] = reinterpret_cast<Operand>(e->value);
        return 0;
    }

    // The header holds no name twice, and at most one per two tokens.
    NameTable HeaderNames() const {
        NameTable names(c, (c.hdrClose - c.hdrOpen) / 2);
        for (int j = c.hdrOpen + 1; j < c.hdrClose; ++j) {
            if (c.b.tokenKinds[j] >= TkHdrLocal && c.b.tokenKinds[j] <= TkHdrCommon)
                names.FindOrAdd(j);
        }
        return names;
    }

    // -1: not a header name; else the header token.
    int HeaderName(int i) const { return headerNames.Find(i); }

    int Variable(int i, int hdr) {
        if (c.b.tokenKinds[hdr] == TkHdrLocal) {
            c.b.tokenKinds[i] = TkLocal;
            c.b.tokenValue[i] = c.b.tokenValue[hdr];
        } else {
            if (int r = Cell(i, hdr)) return r;
            c.b.tokenKinds[i] = TkCell;
            c.b.tokenValue[i] = c.b.tokenValue[hdr];
        }
        // `&x` as a whole argument: passed by reference.
        std::uint8_t *k = c.b.tokenKinds;
        if (k[i - 1] != TkAnd || (k[i - 2] != TkOpen && k[i - 2] != TkComma)) return 0;
        if (k[i + 1] != TkComma && k[i + 1] != TkColon && k[i + 1] != TkClose)
            return TokErr(c, QUOREL_ERR_REFERENCE, i - 1, i);
        k[i - 1] = TkRemoved;
        k[i] = k[i] == TkLocal ? TkLocalRef : TkCellRef;
        if (k[i] == TkLocalRef && c.b.tokenValue[i] < c.params)
            c.b.code[FlagsByte] |= FlagParamModified;
        return 0;
    }

    int Name(int i) {
        int hdr = HeaderName(i);
        if (hdr >= 0) return Variable(i, hdr);
        if (D::hasImaginary && IsImaginaryUnit(c, i)) {
            SetConst(i, T::Imaginary(1));
            return 0;
        }
        if (KeyEntry *e = KeySearch(TokText(c, i), TokLen(c, i), D::constKey)) {
            SetConst(i, *static_cast<const Value *>(e->value));
            return 0;
        }
        return TokErr(c, QUOREL_ERR_UNKNOWN_NAME, i, i);
    }

    int Call(int i) {
        static const struct {
            const char *word;
            Tk kind;
        } kControl[] = {{"if", TkIf},       {"while", TkWhile}, {"until", TkUntil},
                        {"which", TkWhich}, {"break", TkBreak}, {"continue", TkContinue}};
        Operand *value = &c.b.tokenValue[i];
        std::uint8_t &kind = c.b.tokenKinds[i];
        for (int k = 0; k < D::intrinsicCount; ++k) {
            if (TextIs(c, i, D::intrinsics[k])) {
                kind = TkBuiltin;
                *value = OpIntrinsicBase + k;
                return 0;
            }
        }
        for (const auto &w : kControl) {
            if (TextIs(c, i, w.word)) {
                kind = w.kind;
                return 0;
            }
        }
        if (c.nameTok >= 0 && SameText(c, i, c.nameTok)) {
            kind = T::selfCall;
            *value = reinterpret_cast<Operand>(c.rec);
            return 0;
        }
        FoundFormula found;
        if (LookupFormula(TokText(c, i), TokLen(c, i), c.module, &found)) {
            static const Tk kByDomain[] = {TkCallInt, TkCallReal, TkCallComplex};
            kind = kByDomain[found.domain - 1];
            *value = reinterpret_cast<Operand>(found.formula);
            return AddDependency(c, &found.formula->ints[Referrers]);
        }
        if (KeyEntry *e = KeySearch(TokText(c, i), TokLen(c, i), D::funKey)) {
            auto *node = static_cast<FunctionNode *>(e->value);
            kind = TkCallHost;
            *value = reinterpret_cast<Operand>(node);
            return AddDependency(c, &node->referrers);
        }
        return TokErr(c, QUOREL_ERR_UNKNOWN_FUNCTION, i, i);
    }

    int Token(int i) {
        switch (c.b.tokenKinds[i]) {
            case TkColon:
                c.b.tokenKinds[i] = TkComma;
                return 0;
            case TkNumber:
                return Number(i);
            case TkString:
                return String(i);
            case TkName:
                return c.b.tokenKinds[i + 1] == TkOpen ? Call(i) : Name(i);
            default:
                return 0;
        }
    }

    int Run() {
        c.pool = c.vars;
        c.deps = 0;
        for (int i = c.bodyOpen + 1; i < c.bodyClose; ++i) {
            if (ErrPending()) return OffErr(c, QUOREL_ERR_RUN_ERROR_PENDING, 0, 0);
            if (c.pool + 2 > ValueCap<D>(c)) return GrowValues;
            if (int r = Token(i)) return r;
        }
        return 0;
    }
};

}  // namespace

template <class D>
int Resolve(Ctx &c) {
    return Resolver<D>{c}.Run();
}

template int Resolve<IntDomain>(Ctx &);
template int Resolve<RealDomain>(Ctx &);
template int Resolve<ComplexDomain>(Ctx &);

}  // namespace quorel
