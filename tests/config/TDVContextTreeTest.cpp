#include "ConfigTestSupport.h"
#include "config/TDVVarTag.h"

#include <gtest/gtest.h>

TEST(TDVVarTag, NegativeArraySizeMakesAListOfOneElement)
{
    TDVContext root;
    TDVVarTag* tag = root.AddTag("t", vtInteger, -5);
    EXPECT_EQ(tag->ArraySize(), -1);
    EXPECT_TRUE(tag->IsList());
    EXPECT_EQ(tag->Count(), 1);
}

TEST(TDVVarTag, CreationRefusesZeroLengthAndUnknownTypes)
{
    TDVContext root;
    EXPECT_EQ(ErrorOf([&] { root.AddTag("z", vtInteger, 0); }), "Can not create zero length tag");
    EXPECT_EQ(ErrorOf([&] { root.AddTag("u", vtNone, 1); }), " Unknown ValType");
    EXPECT_EQ(root.Tags().size(), 0u);
}

TEST(TDVVarTag, AccessorsCheckIndexAndType)
{
    TDVContext root;
    TDVVarTag* ints = root.AddTag("a", vtInteger, 3);
    TDVVarTag* ptr = root.AddTag("p", vtPointer, 1);
    EXPECT_NO_THROW((void)ptr->String(0));
    const std::string intError = "TDVVarTag::Integer: index out of range or ValType is invalid";
    EXPECT_EQ(ErrorOf([&] { (void)ints->Integer(-1); }), intError);
    EXPECT_EQ(ErrorOf([&] { (void)ints->Integer(3); }), intError);
    EXPECT_EQ(ErrorOf([&] { (void)ints->Float(0); }),
              "TDVVarTag::Float: index out of range or ValType is invalid");
    EXPECT_EQ(ErrorOf([&] { (void)ints->Context(0); }),
              "TDVVarTag::Context: index out of range or ValType is invalid");
}

TEST(TDVVarTag, CopyTagValueNeedsSameTypeAndCount)
{
    TDVContext root;
    TDVVarTag* a = root.AddTag("a", vtInteger, 2);
    TDVVarTag* b = root.AddTag("b", vtInteger, 2);
    TDVVarTag* c = root.AddTag("c", vtInteger, 3);
    *a->Integer(1) = 7;
    b->CopyTagValue(*a);
    EXPECT_EQ(*b->Integer(1), 7);
    EXPECT_EQ(ErrorOf([&] { c->CopyTagValue(*a); }), "TDVVarTag::CopyTagValue: Type or ArraySize different!");
}

TEST(TDVContext, NamesAreCaseSensitiveAndKeywordsReserved)
{
    TDVContext root;
    EXPECT_NE(root.AddTag("Integer", vtInteger, 1), nullptr);
    EXPECT_EQ(ErrorOf([&] { root.AddTag("integer", vtInteger, 1); }),
              "TDVContext::AddTag: Ident name invalid. Word (integer) reserved.");
    EXPECT_EQ(ErrorOf([&] { root.AddTag("include", vtInteger, 1); }),
              "TDVContext::AddTag: Ident name invalid. Word (include) reserved.");
    EXPECT_EQ(ErrorOf([&] { root.AddTag("endcontext", vtInteger, 1); }),
              "TDVContext::AddTag: Ident name invalid. Word (endcontext) reserved.");
    EXPECT_EQ(ErrorOf([&] { root.AddTag("Integer", vtFloat, 1); }), " Ident name allready used");
}

TEST(TDVContext, RootIsNamedAndTakesNoMemberDefinitions)
{
    TDVContext root;
    EXPECT_EQ(root.GetName(), "$ROOT$");
    EXPECT_EQ(root.GetParentContext(), nullptr);
    EXPECT_EQ(ErrorOf([&] { root.AddContextDef("x", vtInteger, 1); }), " ROOT context. can not add defs!");
}

TEST(TDVContext, KeywordTablesMapInOrder)
{
    EXPECT_EQ(KeywordToValType("context"), 0);
    EXPECT_EQ(KeywordToValType("pointer"), 6);
    EXPECT_EQ(KeywordToValType("endcontext"), 5);
    EXPECT_EQ(KeywordToValType("Context"), 5);
    EXPECT_EQ(StatementKeyword("morph"), 0);
    EXPECT_EQ(StatementKeyword("include"), 2);
    EXPECT_EQ(StatementKeyword("x"), -1);
}

TEST(TDVContext, ElementCopiesMemberDefinitionOnFirstReference)
{
    TDVContext root;
    Load(root, "context riff[3]\n integer size=4\nendcontext");
    ASSERT_NE(root.FindTag("riff::size"), nullptr);
    EXPECT_EQ(root.GetContextAt("riff[#]", 2)->FindTag("size"), nullptr);
    root.SetIntegerAt("riff[#].size", 9, 2);
    // The definition changes later: only elements that had not copied it see the change.
    *root.FindTag("riff::size")->Integer(0) = 5;
    EXPECT_EQ(root.GetIntegerAt("riff[#].size", 2), 9);
    EXPECT_EQ(root.GetIntegerAt("riff[#].size", 3), 5);
    EXPECT_NE(root.GetContextAt("riff[#]", 2)->FindTag("size"), nullptr);
}

TEST(TDVContext, NestedArrayDefinitionsAreCopiedWithTheirArray)
{
    TDVContext root;
    Load(root, "context riff[2]\n context page[2]\n  integer x=3\n endcontext\nendcontext\n"
               "riff[2].page[2].x=8");
    EXPECT_EQ(root.GetIntegerAt("riff[#].page[#].x", 2, 2), 8);
    EXPECT_EQ(root.GetIntegerAt("riff[#].page[#].x", 2, 1), 3);
    EXPECT_EQ(root.GetIntegerAt("riff[#].page[#].x", 1, 2), 3);
}

TEST(TDVContext, ArrayInsideListTemplateWorksInEveryEntry)
{
    TDVContext root;
    Load(root, "context mode[]\n context page[3]\n  integer x=1\n endcontext\nendcontext\n"
               "mode[rock].page[2].x=7");
    EXPECT_EQ(root.GetIntegerByID("mode[#].page[2].x", "rock"), 7);
    EXPECT_EQ(root.GetIntegerByID("mode[#].page[3].x", "rock"), 1);
    TDVContext* entry = root.GetContextByID("mode[#]", "rock");
    EXPECT_NE(entry->FindTag("page::x"), nullptr);
    EXPECT_EQ(entry->FindTag("x"), nullptr);
}
