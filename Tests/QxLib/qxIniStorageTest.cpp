#include "QxLib/qxIniStorage.h"

#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxExceptions.h"
#include "Tests/TestSupport/qxMutedDebugOutput.h"

#include <gtest/gtest.h>

namespace qx {

namespace {

std::unique_ptr<TIniStorage> Parse(std::string_view text) {
  auto ini = std::make_unique<TIniStorage>();
  ini->LoadFromString(text);
  return ini;
}

using test::TMutedDebugOutput;

} // namespace

TEST(IniStorage, LookupsIgnoreCaseAndTheLastOccurrenceWins) {
  const auto ini = Parse("[Slide]\nKEY=first\nother=x\nkey=second\n");
  const TIniSection* s = ini->FindSection("SLIDE");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->ReadString("key", ""), "second");
  EXPECT_EQ(s->ReadString("Key", ""), "second");
  EXPECT_EQ(ini->ReadString("slide", "OTHER", ""), "x");
  EXPECT_EQ(ini->ReadString("slide", "missing", "def"), "def");
  EXPECT_EQ(ini->ReadString("nosection", "key", "def"), "def");
}

TEST(IniStorage, KeysSharingABucketAreAllFound) {
  // "kaq" and "kba" fall into the same one of the 251 buckets.
  auto ini = Parse("[S]\nkaq=1\nkba=2\n");
  TIniSection* s = ini->FindSection("S");
  EXPECT_EQ(s->FindKey("kaq")->Bucket(), s->FindKey("kba")->Bucket());
  EXPECT_EQ(s->ReadInteger("kaq", 0), 1);
  EXPECT_EQ(s->ReadInteger("kba", 0), 2);
  s->Remove(s->FindKey("kba"));
  EXPECT_EQ(s->ReadInteger("kaq", 0), 1);
  EXPECT_EQ(s->FindKey("kba"), nullptr);
}

TEST(IniStorage, RemovingTheLastOccurrenceUncoversTheEarlierOne) {
  auto ini = Parse("[S]\nk=1\nk=2\n");
  TIniSection* s = ini->FindSection("S");
  s->Remove(s->FindKey("k"));
  EXPECT_EQ(s->ReadInteger("k", 0), 1);
  EXPECT_EQ(ini->Lines(), (std::vector<std::string>{"[S]", "k=1"}));
}

TEST(IniStorage, SameNamedSectionsShareKeysAndObjects) {
  auto ini = Parse("[Slide]\nA=1\nobject O1:P\nend\n[Other]\nX=1\n[SLIDE]\nA=2\nB=3\nobject O2:P\nend\n");
  TIniSection* first = ini->FindSection("slide");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Header(), "[Slide]");
  EXPECT_EQ(first->ReadInteger("A", 0), 2);
  EXPECT_EQ(first->ReadInteger("B", 0), 3);
  const TIniObject* o1 = first->FirstObject();
  ASSERT_NE(o1, nullptr);
  const TIniObject* o2 = first->NextObject(o1);
  ASSERT_NE(o2, nullptr);
  EXPECT_EQ(o2->Name(), "O2");
  EXPECT_EQ(first->NextObject(o2), nullptr);
  EXPECT_EQ(first->FindObject("o2"), o2);

  // Removing one of the group removes all of it.
  ini->RemoveSection(ini->FindSection("SLIDE"));
  EXPECT_EQ(ini->SectionNames(), (std::vector<std::string>{"Other"}));
  EXPECT_FALSE(ini->SectionExists("slide"));
  EXPECT_EQ(ini->ReadInteger("other", "x", 0), 1);
  // A new section of that name starts a fresh group.
  ini->WriteInteger("Slide", "A", 5);
  EXPECT_EQ(ini->ReadInteger("slide", "a", 0), 5);
  EXPECT_EQ(ini->ReadInteger("slide", "b", 0), 0);
}

TEST(IniStorage, ExtractedSectionOfAGroupKeepsOnlyItsOwnKeys) {
  auto ini = Parse("[S]\nA=1\n[s]\nB=2\n");
  std::unique_ptr<TCommonIniItem> item = ini->Extract(ini->FindSection("S"));
  ASSERT_NE(item, nullptr);
  auto& section = static_cast<TIniSection&>(*item);
  EXPECT_EQ(section.ReadInteger("A", 0), 1);
  EXPECT_FALSE(section.KeyExists("B"));
  EXPECT_TRUE(ini->IsEmpty());
}

TEST(IniStorage, RenamingASectionReindexesIt) {
  auto ini = Parse("[A]\nk=1\n[B]\nk=2\n");
  ini->FindSection("B")->SetName("a");
  EXPECT_EQ(ini->FindSection("B"), nullptr);
  EXPECT_EQ(ini->ReadInteger("A", "k", 0), 2); // joined the group of A, later wins
  EXPECT_EQ(ini->Lines()[2], "[a]");
}

TEST(IniStorage, FindOrAddKeyGoesAfterTheLastKeyLine) {
  auto ini = Parse("[S]\nA=1\n; comment\n\n[T]\n");
  ini->WriteString("S", "B", "2");
  ini->WriteInteger("T", "C", 3);
  EXPECT_EQ(ini->Lines(), (std::vector<std::string>{"[S]", "A=1", "B=2", "; comment", "", "[T]", "C=3"}));
}

TEST(IniStorage, FindOrAddKeyInAnObjectEndingWithNestedObjects) {
  auto ini = Parse("[Slide1]\n"
                   "  object Pic:Picture\n"
                   "    X=1\n"
                   "    ; note\n"
                   "    object Frame:Frame\n"
                   "      W=2\n"
                   "    end\n"
                   "  end\n");
  TIniObject* pic = ini->FindSection("Slide1")->FirstObject();
  ASSERT_NE(pic, nullptr);
  pic->WriteString("Zoom", "150");
  EXPECT_EQ(ini->Lines(),
            (std::vector<std::string>{"[Slide1]", "  object Pic:Picture", "    X=1", "    Zoom=150", "    ; note",
                                      "    object Frame:Frame", "      W=2", "    end", "  end"}));
  // Without key lines the new one comes first, still indented.
  TIniObject* frame = pic->FirstObject();
  frame->Remove(frame->FindKey("W"));
  frame->WriteString("H", "4");
  EXPECT_EQ(static_cast<const TIniTextLine*>(frame->First())->Text(), "      H=4");
}

TEST(IniStorage, WriteStringKeepsTheTextBeforeTheValue) {
  auto ini = Parse("[S]\n  Key =  old value  \nEmpty=\n");
  ini->WriteString("S", "key", "new");
  ini->WriteString("S", "empty", "x");
  EXPECT_EQ(ini->Lines(), (std::vector<std::string>{"[S]", "  Key =  new", "Empty=x"}));
  EXPECT_EQ(ini->ReadString("S", "key", ""), "new");
}

TEST(IniStorage, FindOrAddSectionSeparatesSectionsByOneBlankLine) {
  auto ini = Parse("[A]\nk=1\n");
  TIniSection* b = ini->FindOrAddSection("B");
  EXPECT_EQ(ini->FindOrAddSection("b"), b);
  auto blank = Parse("[A]\nk=1\n\n");
  blank->FindOrAddSection("B");
  EXPECT_EQ(ini->Lines(), (std::vector<std::string>{"[A]", "k=1", "", "[B]"}));
  EXPECT_EQ(blank->Lines(), (std::vector<std::string>{"[A]", "k=1", "", "[B]"}));
}

TEST(IniStorage, AssignMakesAnIndependentDeepCopy) {
  auto ini = Parse("Top=0\n[S]\nk=1\nobject O:C\n  v=2\nend\n[S]\nj=3\n");
  TIniStorage copy;
  copy.WriteString("Junk", "x", "y");
  copy.Assign(*ini);
  EXPECT_EQ(copy.Lines(), ini->Lines());
  EXPECT_EQ(copy.ReadInteger("top", 0), 0);
  EXPECT_EQ(copy.ReadInteger("S", "j", 0), 3);
  EXPECT_FALSE(copy.SectionExists("Junk"));
  copy.FindSection("S")->FirstObject()->WriteInteger("v", 9);
  EXPECT_EQ(ini->FindSection("S")->FirstObject()->ReadInteger("v", 0), 2);
  ini.reset(); // the copy must not refer to the original
  EXPECT_EQ(copy.FindSection("S")->FirstObject()->ReadInteger("v", 0), 9);
}

TEST(IniStorage, SubItemsOfLinesAndTheStorageFail) {
  TMutedDebugOutput muted;
  TIniIdent ident("k=v", 0, 1, 2);
  try {
    ident.SubItems();
    FAIL() << "no assertion";
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(std::string(e.what()).find("TIniIdent cann`t has subitems"), std::string::npos);
  }
  TIniStorage ini;
  try {
    ini.SubItems();
    FAIL() << "no error";
  } catch (const EQxError& e) {
    EXPECT_STREQ(e.what(), "Method not applicable");
  }
  TIniObject object("object a:b");
  EXPECT_EQ(&object.SubItems(), &object);
}

TEST(IniStorage, ClearingAGroupMemberLeavesNoDanglingKeys) {
  auto ini = Parse("[S]\na=1\n[S]\nb=2\n");
  auto* second = static_cast<TIniSection*>(ini->Last());
  second->Clear();
  EXPECT_EQ(ini->ReadInteger("S", "b", 0), 0);
  EXPECT_EQ(ini->ReadInteger("S", "a", 0), 1);
}

TEST(IniStorage, LongTextsFreeWithoutDeepRecursion) {
  std::string text = "[S]\n";
  for (int k = 0; k < 200000; ++k)
    text += "k" + std::to_string(k) + "=" + std::to_string(k) + "\n";
  auto ini = Parse(text);
  EXPECT_EQ(ini->ReadInteger("S", "k199999", 0), 199999);
  ini.reset();
}

} // namespace qx
