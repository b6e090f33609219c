#include <gtest/gtest.h>

#include <string>

#include "KivSedViewParts.h"
#include "LayoutFakes.h"

namespace {

// Records the change brackets and what the highlight settings report.
struct RecordingParent : TKivViewPartParent, TKivLoadable {
  void BeginChange() override { Log += "begin "; }
  void EndChange(bool AResetCache) override { Log += AResetCache ? "end(reset) " : "end "; }
  TKivLoadable* GetOwnerComponent() override { return this; }
  void HighlightSettingsChanged(const TKivEditAttributes& AAttrs, bool AUse) override {
    Log += "hl(" + std::to_string(AAttrs.AttributesSet) + (AUse ? ",on) " : ",off) ");
  }
  std::string Log;
};

const std::string kBadChar =
    "Special char should be non-empty string with single char, or Delphi-like encoded char";
const std::string kManual = "This internal View class should not be created manually.";

}  // namespace

TEST(SpecialChars, DefaultsAndTextForms) {
  RecordingParent parent;
  TKivSpecialChars sc(&parent);
  EXPECT_EQ(sc.TabTailShowChar(), u"#9472");
  EXPECT_EQ(sc.TabHeadShowChar(), u"#9658");
  EXPECT_EQ(sc.SpaceShowChar(), u"#8729");
  EXPECT_EQ(sc.CRShowChar(), u"\u00B6");  // codes 32..255 read as the character
  EXPECT_EQ(sc.LineWrapShowChar(), u"\u00AC");
  EXPECT_EQ(sc.FoldedLineEndShowChar(), u"#8230");
  EXPECT_EQ(sc.LineNumberBulletChar(), u"\u00B7");
  EXPECT_EQ(sc.ShowCharKinds(), TKivSpecialCharKinds{skFoldedLineEnd});
  EXPECT_TRUE(sc.UseCharset());
  EXPECT_EQ(sc.Charset(), 0);
  EXPECT_EQ(parent.Log, "");
}

TEST(SpecialChars, GlyphPropertyWrites) {
  struct {
    const char16_t* Text;
    const char16_t* ReadsAs;  // nullptr: raises and leaves the glyph unchanged
    bool Stored;
  } cases[] = {
      {u"#8729", u"#8729", false},  // the default, given as a code
      {u"\u2219", u"#8729", false}, {u"x", u"x", true},
      {u"#120", u"x", true},        {u"#", u"#", true},  // one character is always the character itself
      {u"#31", u"#31", true},       {u"#32", u" ", true},
      {u"#255", u"\u00FF", true},   {u"#256", u"#256", true},
      {u"#00065", u"A", true},      {u"#65535", u"#65535", true},
      {u"#0", u"#0", true},         {u"#70000", nullptr, false},
      {u"#65536", nullptr, false},  {u"", nullptr, false},
      {u"ab", nullptr, false},      {u"#1a", nullptr, false},
      {u"#-1", nullptr, false},     {u"#0000065", nullptr, false},
  };
  for (const auto& c : cases) {
    RecordingParent parent;
    TKivSpecialChars sc(&parent);
    const std::string label = KivToUtf8(c.Text);
    if (!c.ReadsAs) {
      EXPECT_EQ(ViewErrorOf([&] { sc.SetSpaceShowChar(c.Text); }), kBadChar) << label;
      EXPECT_EQ(sc.SpaceShowChar(), u"#8729") << label;
      EXPECT_EQ(parent.Log, "") << label;
      continue;
    }
    sc.SetSpaceShowChar(c.Text);
    EXPECT_EQ(sc.SpaceShowChar(), c.ReadsAs) << label;
    EXPECT_EQ(sc.IsCharStored(skSpace), c.Stored) << label;
    EXPECT_EQ(parent.Log, c.Stored ? "begin end(reset) " : "") << label;
    // What it reads as, written back, gives the same glyph.
    const Char glyph = sc.ShowChar(skSpace);
    sc.SetSpaceShowChar(sc.SpaceShowChar());
    EXPECT_EQ(sc.ShowChar(skSpace), glyph) << label;
  }
}

TEST(SpecialChars, InvalidCodeWhileLoadingGivesTheDefault) {
  RecordingParent parent;
  TKivSpecialChars sc(&parent);
  sc.SetCRShowChar(u"x");
  parent.BeginLoading();
  sc.SetCRShowChar(u"#99999");
  EXPECT_EQ(sc.CRShowChar(), u"\u00B6");
  EXPECT_EQ(ViewErrorOf([&] { sc.SetCRShowChar(u"ab"); }), kBadChar);  // not a code at all
  parent.EndLoading();
  EXPECT_EQ(ViewErrorOf([&] { sc.SetCRShowChar(u"#99999"); }), kBadChar);
}

TEST(SpecialChars, TabHeadAndTailAreShownTogether) {
  RecordingParent parent;
  TKivSpecialChars sc(&parent);
  sc.SetShowCharKinds({skTabHead});
  EXPECT_EQ(sc.ShowCharKinds(), (TKivSpecialCharKinds{skTabTail, skTabHead}));
  sc.SetShowCharKinds({skTabTail, skSpace});
  EXPECT_EQ(sc.ShowCharKinds(), (TKivSpecialCharKinds{skTabTail, skTabHead, skSpace}));
  sc.SetShowCharKinds({skCR});
  EXPECT_EQ(sc.ShowCharKinds(), TKivSpecialCharKinds{skCR});
  EXPECT_EQ(parent.Log, "begin end(reset) begin end(reset) begin end(reset) ");
  parent.Log.clear();
  sc.SetShowCharKinds({skCR});
  EXPECT_EQ(parent.Log, "");
}

TEST(SpecialChars, CopyAndCreation) {
  RecordingParent p1, p2;
  TKivSpecialChars a(&p1), b(&p2);
  a.SetLFShowChar(u"L");
  a.SetCharset(2);
  a.SetUseCharset(false);
  b = a;
  EXPECT_EQ(b.LFShowChar(), u"L");
  EXPECT_EQ(b.Charset(), 2);
  EXPECT_FALSE(b.UseCharset());
  EXPECT_EQ(p2.Log, "begin end(reset) ");
  EXPECT_EQ(ViewErrorOf([] { TKivSpecialChars orphan(nullptr); }), kManual);
}

TEST(HighlightSettings, DefaultsChangesAndOnePerParent) {
  RecordingParent parent;
  TKivEditHighlightSettings hs(&parent);
  EXPECT_EQ(hs.TextColor(), 0x000000u);
  EXPECT_EQ(hs.BackgroundColor(), 0x00FFFFu);
  EXPECT_EQ(hs.FontStyle(), 0);
  EXPECT_EQ(hs.PropsSet(), psBackgroundColor);
  EXPECT_TRUE(hs.UseHighlight());
  EXPECT_EQ(hs.Attributes().AttributesSet, asBackgroundColor);

  hs.SetBackgroundColor(0x00FFFF);  // unchanged: no bracket
  EXPECT_EQ(parent.Log, "");
  hs.SetPropsSet(psTextColor | psFontStyle);
  EXPECT_EQ(hs.Attributes().AttributesSet, asTextColor | asFontStyle);
  hs.SetUseHighlight(false);
  EXPECT_EQ(parent.Log, "begin hl(6,on) end begin hl(6,off) end ");

  EXPECT_EQ(ViewErrorOf([&] { TKivEditHighlightSettings second(&parent); }), kManual);
  EXPECT_EQ(ViewErrorOf([] { TKivEditHighlightSettings orphan(nullptr); }), kManual);
}

TEST(HighlightSettings, ANewOneMayFollowTheFreedOne) {
  RecordingParent parent;
  { TKivEditHighlightSettings first(&parent); }
  TKivEditHighlightSettings second(&parent);
  second.SetFontStyle(fsBold | 0x30);
  EXPECT_EQ(second.FontStyle(), fsBold);
}
