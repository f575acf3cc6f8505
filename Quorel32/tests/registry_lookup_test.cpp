#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Quorel32.h"
#include "hand_formula.h"
#include "keys/keytree.h"
#include "registry/formula_lists.h"
#include "registry/modules.h"
#include "registry/registry.h"

using namespace quorel;
using handmade::Add;

namespace {

class Lookup : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(InitQuorel()); }
    void TearDown() override { FreeQuorel(); }

    static CompiledFormula *Find(const std::string &name, int caller, int *domain = nullptr) {
        FoundFormula out{0, nullptr};
        if (!LookupFormula(name.data(), static_cast<int>(name.size()), caller, &out))
            return nullptr;
        if (domain) *domain = out.domain;
        return out.formula;
    }

    // Gives module m (with a record) its name and imports, as "Module" does.
    static int Name(int m, std::initializer_list<const char *> names) {
        if (!FindModule(m)) ModuleCountUp(m);
        return handmade::Attach(m, names);
    }
};

TEST_F(Lookup, ChainsAreNewestFirstPerDomain) {
    CompiledFormula *a = Add(DomainReal, "f", 1);
    CompiledFormula *b = Add(DomainReal, "f", -2);
    EXPECT_EQ(FormulaChain(DomainReal, "f", 1), b);
    EXPECT_EQ(b->next, a);
    EXPECT_EQ(a->prev, b);
    EXPECT_EQ(FormulaChain(DomainInt, "f", 1), nullptr);
    EXPECT_EQ(FormulaChain(DomainReal, "fg", 2), nullptr);
    EXPECT_EQ(FormulaChain(7, "f", 1), nullptr);
}

TEST_F(Lookup, OwnModuleWinsThenPublic) {
    CompiledFormula *pub = Add(DomainReal, "f", 1);
    CompiledFormula *priv = Add(DomainReal, "f", -2);
    EXPECT_EQ(Find("f", 2), priv);
    EXPECT_EQ(Find("f", 3), pub);
    EXPECT_EQ(Find("g", 1), nullptr);
    Add(DomainInt, "z", 0);  // module 0 is private to itself
    EXPECT_EQ(Find("z", 5), nullptr);
}

TEST_F(Lookup, DomainOrderAndLastPublicPassed) {
    CompiledFormula *i = Add(DomainInt, "h", 4);
    CompiledFormula *c = Add(DomainComplex, "h", 6);
    int domain = 0;
    EXPECT_EQ(Find("h", 9, &domain), c);  // the last public one passed
    EXPECT_EQ(domain, DomainComplex);
    EXPECT_EQ(Find("h", 4, &domain), i);
    EXPECT_EQ(domain, DomainInt);
    CompiledFormula *r = Add(DomainReal, "h", -6);
    EXPECT_EQ(Find("h", 6, &domain), r);  // own module found in the real chain first
    EXPECT_EQ(domain, DomainReal);
}

TEST_F(Lookup, QualifiedNamesNeedExportedFormulasOfThatModule) {
    ASSERT_EQ(Name(3, {"Geo"}), 0);
    CompiledFormula *hidden = Add(DomainReal, "area", 3);
    EXPECT_EQ(Find("Geo::area", 1), nullptr);  // not exported
    hidden->code[FlagsByte] |= FlagExported;
    EXPECT_EQ(Find("Geo::area", 1), hidden);
    EXPECT_EQ(Find("  Geo ::\tarea ", 1), hidden);
    Add(DomainReal, "vol", 4, 0, FlagExported);  // exported, but another module's
    EXPECT_EQ(Find("Geo::vol", 1), nullptr);
    EXPECT_EQ(Find("Nope::area", 1), nullptr);
    EXPECT_EQ(Find("Geo::", 1), nullptr);
    EXPECT_EQ(Find("::area", 1), nullptr);
}

TEST_F(Lookup, QualifiedPathFollowsImports) {
    ASSERT_EQ(Name(1, {"A", "B"}), 0);
    ASSERT_EQ(Name(2, {"B", "C"}), 0);
    ASSERT_EQ(Name(3, {"C"}), 0);
    CompiledFormula *f = Add(DomainInt, "f", -3, 0, FlagExported);
    EXPECT_EQ(Find("A::B::C::f", 7), f);
    EXPECT_EQ(Find("C::f", 7), f);
    EXPECT_EQ(Find("A::f", 7), f);           // found through B's imports
    EXPECT_EQ(Find("A::C::f", 7), nullptr);  // A does not import C itself
    EXPECT_EQ(Find("B::A::f", 7), nullptr);  // B does not import A
}

TEST_F(Lookup, ImportSearchShallowestFirstAndCyclesEnd) {
    // A imports B then D; B imports C; C imports A (a cycle); D is found at depth 1,
    // C's match at depth 2 loses although B is searched first.
    ASSERT_EQ(Name(1, {"A", "B", "D"}), 0);
    ASSERT_EQ(Name(2, {"B", "C"}), 0);
    ASSERT_EQ(Name(3, {"C", "A"}), 0);
    ASSERT_EQ(Name(4, {"D"}), 0);
    CompiledFormula *deep = Add(DomainReal, "g", 3, 0, FlagExported);
    EXPECT_EQ(Find("A::g", 9), deep);
    CompiledFormula *shallow = Add(DomainReal, "g", -4, 0, FlagExported);
    EXPECT_EQ(Find("A::g", 9), shallow);
    EXPECT_EQ(Find("A::nothing", 9), nullptr);  // the cycle ends
    EXPECT_EQ(Find("C::g", 9), deep);           // own module before imports
    for (const char *n : {"A", "B", "C", "D"}) {
        auto *list = static_cast<ImportList *>(KeySearch(n, 1, KeyModuleImports)->value);
        EXPECT_EQ(list->visiting, 0) << n;
    }
}

}  // namespace
