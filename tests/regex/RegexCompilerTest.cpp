// The dialect and the compiler: program shapes through Dump, every compile error, int-codes mode,
// modifiers and settings, and the character-set type.
#include <gtest/gtest.h>

#include <map>

#include "KivRegExpr.h"
#include "RegexTestUtil.h"

namespace {

// The node list of a Dump without indexes and links: "NAME details" per node, joined by " | ".
std::string Shape(TKivRegExp& ARe) {
  std::string dump = KivToUtf8(ARe.Dump());
  std::string out;
  size_t pos = 0;
  while (pos < dump.size()) {
    size_t eol = dump.find("\r\n", pos);
    if (eol == std::string::npos) eol = dump.size();
    std::string line = dump.substr(pos, eol - pos);
    pos = eol + 2;
    size_t colon = line.find(':');
    size_t open = line.find(" (", colon);
    size_t close = line.find(") ", open);
    std::string name = line.substr(colon + 1, open - colon - 1);
    std::string details = line.substr(close + 2);
    if (!out.empty()) out += " | ";
    out += name;
    if (!details.empty()) out += " " + details;
    if (name == "END") break;
  }
  return out;
}

std::string ShapeOf(const std::u16string& APattern, const std::u16string& AMods = u"") {
  TKivRegExp re;
  if (!AMods.empty()) re.SetModifierStr(AMods);
  re.SetExpression(APattern);
  return Shape(re);
}

}  // namespace

TEST(RegexCompiler, DefaultsAndModifierStr) {
  TKivRegExp re;
  EXPECT_EQ(re.ModifierStr(), u"gs-imx");
  EXPECT_TRUE(re.ModifierS());
  EXPECT_TRUE(re.ModifierG());
  re.SetModifierStr(u"i-g");
  EXPECT_EQ(re.ModifierStr(), u"si-gmx");
  re.SetModifierStr(u"MX-s");
  EXPECT_EQ(re.ModifierStr(), u"xmi-sg");
  re.SetModifierStr(u"-imx");
  EXPECT_EQ(re.ModifierStr(), u"-isgmx");
  ExpectRegexError([&] { re.SetModifierStr(u"iq"); }, 1013, u"This modifier is unsupported");
  EXPECT_EQ(re.ModifierStr(), u"-isgmx");  // a refused assignment changes nothing
  EXPECT_EQ(re.LastError(), 1013);
  EXPECT_EQ(re.LastError(), 0);
  EXPECT_EQ(TKivRegExp::SubExpMaxCount(), 16);
}

// One pattern per construct, checked through the program it compiles to.
TEST(RegexCompiler, ProgramShapes) {
  struct Case {
    std::u16string Pattern;
    std::u16string Mods;
    std::string Shape;
  };
  const Case cases[] = {
      // literal runs split only where a quantifier needs one character
      {u"abc", u"", "BRANCH | EXACTLY abc | END"},
      {u"ab*", u"", "BRANCH | EXACTLY a | STAR | EXACTLY b | END"},
      {u"ab{2}c", u"", "BRANCH | EXACTLY a | BRACES {2,2} | EXACTLY b | EXACTLY c | END"},
      {u"{abc}", u"", "BRANCH | EXACTLY {abc} | END"},
      {u"a]b}", u"", "BRANCH | EXACTLY a]b} | END"},
      {u"(?i)abc", u"", "BRANCH | EXACTLY/CI abc | END"},
      // simple repeats, greedy and lazy
      {u"a*", u"", "BRANCH | STAR | EXACTLY a | END"},
      {u"a+", u"", "BRANCH | PLUS | EXACTLY a | END"},
      {u"a?", u"", "BRANCH | BRANCH | EXACTLY a | BRANCH | NOTHING | END"},
      {u"a{2,5}", u"", "BRANCH | BRACES {2,5} | EXACTLY a | END"},
      {u"a{2,}", u"", "BRANCH | BRACES {2,2147483646} | EXACTLY a | END"},
      {u"a*?", u"", "BRANCH | STARNG | EXACTLY a | END"},
      {u"a+?", u"", "BRANCH | PLUSNG | EXACTLY a | END"},
      {u"a??", u"", "BRANCH | BRACESNG {0,1} | EXACTLY a | END"},
      {u"a{2,5}?", u"", "BRANCH | BRACESNG {2,5} | EXACTLY a | END"},
      {u"(?-g)a*", u"", "BRANCH | STARNG | EXACTLY a | END"},
      {u"a*?", u"-g", "BRANCH | STARNG | EXACTLY a | END"},  // with g off a trailing ? stays lazy
      {u".*", u"", "BRANCH | STAR | ANY | END"},
      {u".*", u"-s", "BRANCH | STAR | ANYML | END"},
      // complex repeats
      {u"(ab)*", u"",
       "BRANCH | BRANCH | OPEN[1] | BRANCH | EXACTLY ab | CLOSE[1] | BACK | BRANCH | NOTHING | END"},
      {u"(ab)+", u"",
       "BRANCH | OPEN[1] | BRANCH | EXACTLY ab | CLOSE[1] | BRANCH | BACK | BRANCH | NOTHING | END"},
      {u"(ab)?", u"", "BRANCH | BRANCH | OPEN[1] | BRANCH | EXACTLY ab | CLOSE[1] | BRANCH | NOTHING | END"},
      {u"(ab){2,3}", u"",
       "BRANCH | LOOPENTRY | OPEN[1] | BRANCH | EXACTLY ab | CLOSE[1] | LOOP  -> (2) {2,3} | END"},
      {u"(ab)*?", u"",
       "BRANCH | LOOPENTRY | OPEN[1] | BRANCH | EXACTLY ab | CLOSE[1] | LOOPNG  -> (2) {0,2147483646} | END"},
      {u"(ab)??", u"",
       "BRANCH | LOOPENTRY | OPEN[1] | BRANCH | EXACTLY ab | CLOSE[1] | LOOPNG  -> (2) {0,1} | END"},
      {u"(a*)?", u"",
       "BRANCH | BRANCH | OPEN[1] | BRANCH | STAR | EXACTLY a | CLOSE[1] | BRANCH | NOTHING | END"},
      // anchors and classes
      {u"^a$", u"", "BRANCH | BOL | EXACTLY a | EOL | END"},
      {u"^a$", u"m", "BRANCH | BOLML | EXACTLY a | EOLML | END"},
      {u"\\A\\Z\\b\\B", u"", "BRANCH | BOL | EOL | BOUND | NOTBOUND | END"},
      {u"\\d\\D", u"", "BRANCH | ANYDIGIT | NOTDIGIT | END"},
      {u"\\s", u"", "BRANCH | ANYOFFULLSET #9 \u00A0 | END"},  // TAB, space and no-break space
      {u".", u"", "BRANCH | ANY | END"},
      {u".", u"-s", "BRANCH | ANYML | END"},
      // escapes
      {u"\\x41\\u0042\\x{43}\\U44", u"", "BRANCH | EXACTLY A | EXACTLY B | EXACTLY C | EXACTLY D | END"},
      {u"\\u{41}", u"", "BRANCH | EXACTLY A | EXACTLY } | END"},
      {u"\\x411", u"", "BRANCH | EXACTLY A | EXACTLY 1 | END"},
      {u"\\.\\\\\\#\\z\\p", u"", "BRANCH | EXACTLY . | EXACTLY \\ | EXACTLY # | EXACTLY z | EXACTLY p | END"},
      {u"(a)\\1", u"", "BRANCH | OPEN[1] | BRANCH | EXACTLY a | CLOSE[1] | BSUBEXP  \\1 | END"},
      {u"(?i)(a)\\12", u"", "BRANCH | OPEN[1] | BRANCH | EXACTLY/CI a | CLOSE[1] | BSUBEXP/CI  \\12 | END"},
      // sets
      {u"[abc]", u"", "BRANCH | ANYOFTINYSET abc | END"},
      {u"[ab]", u"", "BRANCH | ANYOFTINYSET abb | END"},
      {u"[^ab]", u"", "BRANCH | ANYBUTTINYSET abb | END"},
      {u"[abcd]", u"", "BRANCH | ANYOFFULLSET abcd | END"},
      {u"[a-d]", u"", "BRANCH | ANYOFFULLSET abcd | END"},
      {u"(?i)[a]", u"", "BRANCH | ANYOFTINYSET aAA | END"},
      {u"(?i)[ab]", u"", "BRANCH | ANYOFFULLSET ABab | END"},
      {u"[]a]", u"", "BRANCH | ANYOFTINYSET ]aa | END"},
      {u"[a-]", u"", "BRANCH | ANYOFTINYSET a-- | END"},
      {u"[-a]", u"", "BRANCH | ANYOFTINYSET -aa | END"},
      {u"[]-a]", u"", "BRANCH | ANYOFFULLSET ]^_`a | END"},
      {u"[\\n\\t]", u"", "BRANCH | ANYOFTINYSET \n\t\t | END"},
      {u"[ a b ]", u"x", "BRANCH | ANYOFTINYSET abb | END"},
      // groups
      {u"(a)(?:b)", u"",
       "BRANCH | OPEN[1] | BRANCH | EXACTLY a | CLOSE[1] | OPEN[0] | BRANCH | EXACTLY b | CLOSE[0] | END"},
      {u"(?:a)(b)", u"",
       "BRANCH | OPEN[0] | BRANCH | EXACTLY a | CLOSE[0] | OPEN[0] | BRANCH | EXACTLY b | CLOSE[0] | END"},
      {u"a(?=b)", u"", "BRANCH | EXACTLY a | LOOKAHEAD | OPEN[0] | BRANCH | EXACTLY b | CLOSE[0] | END"},
      {u"a(?#note)b", u"", "BRANCH | EXACTLY a | EXACTLY b | END"},
      {u"a|b|", u"", "BRANCH | EXACTLY a | BRANCH | EXACTLY b | BRANCH | NOTHING | END"},
      {u"()", u"", "BRANCH | OPEN[1] | BRANCH | NOTHING | CLOSE[1] | END"},
      // extended mode
      {u"a b", u"x", "BRANCH | EXACTLY ab | END"},
      {u"\\ ", u"x", "BRANCH | EXACTLY   | END"},
      {u"a # note\r\nb", u"x", "BRANCH | EXACTLY a | EXACTLY b | END"},
      {u"[ab] *", u"x", "BRANCH | STAR | ANYOFTINYSET abb | END"},
      {u"(ab) *", u"x",
       "BRANCH | BRANCH | OPEN[1] | BRANCH | EXACTLY ab | CLOSE[1] | BACK | BRANCH | NOTHING | END"},
      {u"a$1$", u"x", "BRANCH | EXACTLY a | EXACTLY | EOL | END"},
      {u"$1", u"", "BRANCH | EOL | EXACTLY 1 | END"},  // no variables outside extended mode
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(KivToUtf8(c.Pattern) + " /" + KivToUtf8(c.Mods));
    try {
      EXPECT_EQ(ShapeOf(c.Pattern, c.Mods), c.Shape);
    } catch (const EKivError& e) {
      ADD_FAILURE() << e.what();
    }
  }
}

TEST(RegexCompiler, DumpFormat) {
  TKivRegExp re;
  re.SetExpression(u"x*(ab){2,3}\\d");
  EXPECT_EQ(re.Dump(),
            u" 0:BRANCH (10) \r\n"
            u" 1:STAR (3) \r\n"
            u" 2:EXACTLY (0) x\r\n"
            u" 3:LOOPENTRY (8) \r\n"
            u" 4:OPEN[1] (5) \r\n"
            u" 5:BRANCH (7) \r\n"
            u" 6:EXACTLY (7) ab\r\n"
            u" 7:CLOSE[1] (8) \r\n"
            u" 8:LOOP (9)  -> (4) {2,3}\r\n"
            u" 9:ANYDIGIT (10) \r\n"
            u"10:END (0) \r\n"
            u"\r\n");
  re.SetExpression(u"x*ab\\d+abc");
  EXPECT_EQ(re.Dump(),
            u" 0:BRANCH (7) \r\n 1:STAR (3) \r\n 2:EXACTLY (0) x\r\n 3:EXACTLY (4) ab\r\n 4:PLUS (6) \r\n"
            u" 5:ANYDIGIT (0) \r\n 6:EXACTLY (7) abc\r\n 7:END (0) \r\n\r\nmust have abc\r\n");
  re.SetExpression(u"^a");
  EXPECT_EQ(re.Dump(), u" 0:BRANCH (3) \r\n 1:BOL (2) \r\n 2:EXACTLY (3) a\r\n 3:END (0) \r\nanchored \r\n");
  re.SetExpression(u"[\\x01-\\x03]b");
  EXPECT_EQ(re.Dump(),
            u" 0:BRANCH (3) \r\n 1:ANYOFFULLSET (2) #1#2#3\r\n 2:EXACTLY (3) b\r\n 3:END (0) \r\n"
            u"\r\nstart:ANYOFFULLSET\r\n#1#2#3\r\n");
}

TEST(RegexCompiler, GroupCountsAndNonCapturingQuirk) {
  struct Case {
    std::u16string Pattern;
    Integer Groups;
  };
  const Case cases[] = {
      {u"a", 1},           {u"(a)(b)", 3},     {u"(a)(?:b)", 2}, {u"(?:a)(b)", 1}, {u"((?:a)(b))(c)", 3},
      {u"(a(?=b))(c)", 3}, {u"(?=a)((b))", 1}, {u"(a)|(b)", 3},
  };
  for (const auto& c : cases) {
    TKivRegExp re;
    re.SetExpression(c.Pattern);
    EXPECT_EQ(re.CompiledSubExpCount(), c.Groups) << KivToUtf8(c.Pattern);
    EXPECT_EQ(re.MaxVariableId(), c.Groups - 1);
  }
  std::u16string fifteen;
  for (int i = 0; i < 15; ++i) fifteen += u"(a)";
  TKivRegExp re;
  re.SetExpression(fifteen);
  EXPECT_EQ(re.CompiledSubExpCount(), 16);
}

// Every code the compiler raises, with its exact message and position.
TEST(RegexCompiler, CompileErrors) {
  struct Case {
    std::u16string Pattern;
    std::u16string Mods;
    Integer Code;
    Integer Pos;
  };
  std::u16string sixteen;
  for (int i = 0; i < 16; ++i) sixteen += u"(a)";
  std::u16string deep = u"(?:" + std::u16string(600, u'(');
  const Case cases[] = {
      {deep, u"", 101, 503},
      {sixteen, u"", 102, 47},
      {u"(a", u"", 103, 3},
      {u"a)", u"", 104, 2},
      {u"(a*)*", u"", 106, 5},
      {u"^*", u"", 106, 2},
      {u"\\b+", u"", 106, 3},
      {u"(|a)*", u"", 106, 5},
      {u"a *", u"x", 106, 3},
      {u"(?#c)*", u"", 106, 6},
      {u"a**", u"", 107, 3},
      {u"a*+", u"", 107, 3},
      {u"a{2}{3}", u"", 107, 5},
      {u"a???", u"", 107, 4},
      {u"\\xG1", u"", 108, 3},
      {u"\\x4G", u"", 108, 4},
      {u"[z-a]", u"", 109, 5},
      {u"[a\\", u"", 110, 4},
      {u"\\x4", u"", 111, 4},
      {u"\\x{41", u"", 111, 6},
      {u"\\x{}", u"", 111, 4},
      {u"\\u", u"", 111, 3},
      {u"\\u12345", u"", 112, 7},
      {u"\\x{12345}", u"", 112, 8},
      {u"[abc", u"", 113, 5},
      {u"[", u"", 113, 2},
      {std::u16string(u"\0", 1), u"", 114, 2},
      {u"*a", u"", 115, 2},
      {u"(*)", u"", 115, 3},
      {u"a|*", u"", 115, 4},
      {u"(?:a)(?i)b", u"", 115, 8},
      {u"a\\", u"", 116, 3},
      {u"a{123456789}", u"", 122, 11},
      {u"a{1,123456789}", u"", 122, 13},
      {u"a{3,2}", u"", 124, 6},
      {u"(?#x", u"", 125, 5},
      {u"(?!a)", u"", 127, 5},
      {u"(?i:a)", u"", 127, 6},
      {u"(?q)", u"", 127, 4},
      {u"(?i", u"", 127, 4},
      {u"a{", u"", 129, 3},
      {u"a{,3}", u"", 129, 3},
      {u"a{ 2}", u"x", 129, 3},
      {u"a{x}", u"", 129, 3},
      {u"a{2", u"", 129, 4},
      {u"x{abc}", u"", 129, 3},
      {u"[\\D]", u"", 130, 3},
      {u"[a\\S]", u"", 130, 4},
      {u"\\p{Xx}", u"", 132, 6},
      {u"\\p{}", u"", 132, 4},
      {u"\\p{L", u"", 132, 5},
      {u"\\p{Lu x}", u"", 132, 6},
      {u"(?=a){2}", u"", 141, 9},
      {u"(?=a)*?", u"", 141, 8},
      {u"(?=a)??", u"", 141, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(KivToUtf8(c.Pattern) + " /" + KivToUtf8(c.Mods));
    TKivRegExp re;
    if (!c.Mods.empty()) re.SetModifierStr(c.Mods);
    ExpectRegexError([&] { re.SetExpression(c.Pattern); }, c.Code, {}, c.Pos);
    EXPECT_EQ(re.LastError(), c.Code);
    EXPECT_THROW(re.Exec(), EKivRegExprError);  // the program stays discarded
  }
  // Accepted near misses of the cases above.
  for (const char16_t* ok :
       {u"(a*)?", u"(?=a)*", u"(?=a)+", u"(?=a)?", u"a{2,}", u"{", u"a{0}", u"(?)a", u"(?i-s)a"}) {
    TKivRegExp re;
    EXPECT_NO_THROW(re.SetExpression(ok)) << KivToUtf8(ok);
  }
}

TEST(RegexCompiler, ErrorMessagesKeepTheirTexts) {
  TKivRegExp re;
  const std::map<Integer, std::u16string> texts = {
      {0, u"No errors"},
      {102, u"TKivRegExpr(comp): ParseReg Too Many ()"},
      {110, u"TKivRegExpr(comp): Parse Atom Trailing \\"},
      {119, u"TKivRegExpr(comp): RarseAtom Internal Disaster"},
      {124, u"TKivRegExpr(comp): BRACE Min Param Greater then Max"},
      {127, u"TKivRegExpr(comp): Urecognized Modifier"},
      {128, u"TKivRegExpr(comp): LinePairedSeparator must countain two different chars or no chars at all"},
      {129, u"TKivRegExpr(comp): BRACEs are not balansed"},
      {130, u"TKivRegExpr(comp): \\S, \\D, \\W are not supported in ranges operator ([...]) yet. Sorry."},
      {134,
       u"TKivRegExpr.Substitute: Bad format for substitution subexpression name. Should be: $1, ${1}, $&, "
       u"${&}."},
      {141,
       u"TKivRegExpr(comp): this construct ( \"+?\", \"*?\", \"{min, max}\" ) is not supported for lookahead "
       u"group. "
       u"Use (?= (subgroup){min,max} ) instead of (?= group ){min,max}."},
      {1005, u"TKivRegExpr(exec): Recursion Limit Exceeded"},
      {1015, u"TKivRegExpr(exec): Loop Without LoopEntry !"},
      {2002, u"TKivRegExpr: InputText or InputSource hes not been set."},
      {4242, u"TKivRegExpr: Unknown error"},
  };
  for (const auto& [code, text] : texts) EXPECT_EQ(re.ErrorMsg(code), text) << code;
  // Codes from 1000 on carry the plain message.
  ExpectRegexError([&] { re.Compile(); }, 1003, u"TKivRegExpr(exec): Not Assigned Expression Property");
  ExpectRegexError([&] { re.SetExpression(u"a{3,2}"); }, 124,
                   u"TKivRegExpr(comp): BRACE Min Param Greater then Max (pos: 6)");
  EXPECT_EQ(re.CompilerErrorPos(), 6);
}

namespace {

// Records every code that goes through the engine's error path.
class TRecordingRegExp : public TKivRegExp {
 public:
  void RaiseError(Integer AErrorID, Integer APos) override {
    Raised.push_back(AErrorID);
    TKivRegExp::RaiseError(AErrorID, APos);
  }
  std::vector<Integer> Raised;
};

}  // namespace

TEST(RegexCompiler, EmptySetInExtendedModeIsRefused) {
  // A set without members is an internal parse failure with its own code, raised through the
  // engine's error path like every other compile error.
  TRecordingRegExp re;
  re.SetModifierX(true);
  ExpectRegexError([&] { re.SetExpression(u"[ ]"); }, reeRarseAtomInternalDisaster,
                   u"TKivRegExpr(comp): RarseAtom Internal Disaster (pos: 3)", 3);
  EXPECT_EQ(re.Raised, std::vector<Integer>{reeRarseAtomInternalDisaster});
  EXPECT_EQ(re.LastError(), reeRarseAtomInternalDisaster);
  EXPECT_EQ(re.SubExpMaxCount(), 16);
}

TEST(RegexCompiler, SettingsDiscardTheProgram) {
  TKivRegExp re;
  re.SetExpression(u"^a");
  re.SetInputText(u"b\na");
  EXPECT_FALSE(re.Exec());
  re.SetModifierM(true);  // recompiled on the next use
  EXPECT_TRUE(re.Exec());
  EXPECT_EQ(re.GetMatchPos(0), 3);

  re.SetLinePairedSeparator(u"ab");
  EXPECT_EQ(re.LinePairedSeparator(), u"ab");
  re.SetLinePairedSeparator(u"");
  EXPECT_EQ(re.LinePairedSeparator(), u"");
  ExpectRegexError([&] { re.SetLinePairedSeparator(u"aa"); }, 128, {});
  ExpectRegexError([&] { re.SetLinePairedSeparator(u"abc"); }, 128, {});
  EXPECT_EQ(re.LinePairedSeparator(), u"");

  // \w follows WordChars.
  TKivRegExp w;
  w.SetExpression(u"^\\w+$");
  w.SetInputText(u"a-b");
  EXPECT_FALSE(w.Exec());
  w.SetWordChars(u"-");
  EXPECT_TRUE(w.Exec());
  // Extended mode ignores SpaceChars.
  TKivRegExp x;
  x.SetModifierX(true);
  x.SetSpaceChars(u" \t_");
  x.SetExpression(u"a_b");
  x.SetInputText(u"ab");
  EXPECT_TRUE(x.Exec());
}

TEST(RegexCompiler, IntCodesModifierRules) {
  TKivRegExp re;
  ExpectRegexError([&] { re.SetModifierC(true); }, 140, {});  // s is on by default
  re.SetModifierS(false);
  re.SetModifierI(true);
  ExpectRegexError([&] { re.SetModifierC(true); }, 140, {});
  re.SetModifierI(false);
  re.SetModifierA(true);
  re.SetModifierC(true);
  EXPECT_TRUE(re.ModifierC());
  re.SetModifierX(true);
  EXPECT_TRUE(re.ModifierX());
  ExpectRegexError([&] { re.SetModifierG(false); }, 140, {});
  ExpectRegexError([&] { re.SetModifierG(true); }, 140, {});
  ExpectRegexError([&] { re.SetModifierM(true); }, 140, {});
  ExpectRegexError([&] { re.SetModifierStr(u"i"); }, 140, {});
  EXPECT_TRUE(re.ModifierG());
  EXPECT_FALSE(re.ModifierM());
  re.SetModifierC(false);
  re.SetModifierM(true);
  EXPECT_TRUE(re.ModifierM());
}

TEST(RegexCompiler, IntCodes) {
  const std::map<std::u16string, Integer> names = {
      {u"kw:if", 1000}, {u"sym:(", 1001}, {u"sym:)", 1002}, {u"sym:}", 1003}, {u"long name ", 1004},
      {u"id", 1005},    {u"a", 10},       {u"z", 20},       {u"-", 5},
  };
  auto resolver = [&](const TKivString& AName) -> Integer {
    auto it = names.find(AName);
    return it == names.end() ? -1 : it->second;
  };
  auto make = [&](bool AWithResolver) {
    auto re = std::make_unique<TKivRegExp>();
    re->SetModifierS(false);
    re->SetModifierC(true);
    if (AWithResolver) re->SetCodesResolver(resolver);
    return re;
  };
  struct Case {
    std::u16string Pattern;
    std::string Shape;
  };
  auto codes = [](std::initializer_list<Integer> AList) {
    std::u16string s;
    for (Integer c : AList) s.push_back(static_cast<char16_t>(c));
    return KivToUtf8(s);
  };
  const Case cases[] = {
      {u"kw:if sym:(", "BRANCH | EXACTLY " + codes({1000}) + " | EXACTLY " + codes({1001}) + " | END"},
      {u"{ long name }", "BRANCH | EXACTLY " + codes({1004}) + " | END"},
      {u"sym:\\}", "BRANCH | EXACTLY " + codes({1003}) + " | END"},
      {u"kw:if *", "BRANCH | STAR | EXACTLY " + codes({1000}) + " | END"},
      {u"[ kw:if sym:( ]", "BRANCH | ANYOFTINYSET " + codes({1000, 1001, 1001}) + " | END"},
      {u"[^ sym:; ]", ""},  // unknown name inside a set: checked below
      {u"[ a - z ]", "BRANCH | ANYOFFULLSET \n\x0b\x0c\r\x0e\x0f\x10\x11\x12\x13\x14 | END"},
      {u"( kw:if | id ) + .", ""},
      {u"^ kw:if $", "BRANCH | BOL | EXACTLY " + codes({1000}) + " | EOL | END"},
      {u"(?x) kw:if", "BRANCH | EXACTLY " + codes({1000}) + " | END"},
      {u"( id ) \\1",
       "BRANCH | OPEN[1] | BRANCH | EXACTLY " + codes({1005}) + " | CLOSE[1] | BSUBEXP  \\1 | END"},
  };
  for (const auto& c : cases) {
    if (c.Shape.empty()) continue;
    SCOPED_TRACE(KivToUtf8(c.Pattern));
    auto re = make(true);
    re->SetExpression(c.Pattern);
    std::string shape = Shape(*re);
    // ANYOFFULLSET prints codes below 32 as #n; compare the printable form.
    if (c.Pattern == u"[ a - z ]")
      EXPECT_EQ(shape, "BRANCH | ANYOFFULLSET #10#11#12#13#14#15#16#17#18#19#20 | END");
    else
      EXPECT_EQ(shape, c.Shape);
  }
  {
    auto re = make(true);
    re->SetExpression(u"( kw:if | id ) + .");
    EXPECT_EQ(re->CompiledSubExpCount(), 2);
  }
  struct ErrCase {
    std::u16string Pattern;
    bool Resolver;
    Integer Code;
  };
  const ErrCase errors[] = {
      {u"kw:if", false, 135},     {u"kw:if(", true, 137},    {u"[^ sym:; ]", true, 137},
      {u"{ unclosed", true, 132}, {u"{ }", true, 132},       {u"kw\\", true, 132},
      {u"\\b", true, 139},        {u"\\d", true, 139},       {u"\\w", true, 139},
      {u"\\p{L}", true, 139},     {u"\\n", true, 139},       {u"\\.", true, 139},
      {u"(?i)a", true, 139},      {u"(?s)a", true, 139},     {u"(?g)a", true, 139},
      {u"(?m)a", true, 139},      {u"[]a ]", true, 139},     {u"[ a - \\d ]", true, 139},
      {u"[ \\s ]", true, 139},    {u"[ z - a ]", true, 109},
  };
  for (const auto& e : errors) {
    SCOPED_TRACE(KivToUtf8(e.Pattern));
    auto re = make(e.Resolver);
    ExpectRegexError([&] { re->SetExpression(e.Pattern); }, e.Code, {});
  }
  // \A, \Z, back-references and groups stay allowed.
  auto re = make(true);
  EXPECT_NO_THROW(re->SetExpression(u"\\A ( a ) \\1 \\Z"));
}

TEST(RegexCharSet, RangesBitmapAndInversion) {
  TKivCharSet s;
  s.IncludeRange(0x400, 0x40F);
  s.IncludeRange(0x412, 0x420);
  s.IncludeRange(0x500, 0x510);
  s.IncludeChar(0x600);
  EXPECT_EQ(s.RangesCount(), 4);
  s.IncludeRange(0x410, 0x411);  // touches both neighbours: merges three ranges into one
  EXPECT_EQ(s.RangesCount(), 3);
  EXPECT_EQ(s.Range(0).Min, 0x400);
  EXPECT_EQ(s.Range(0).Max, 0x420);
  s.IncludeRange(0x3FF, 0x700);  // swallows everything
  EXPECT_EQ(s.RangesCount(), 1);
  EXPECT_LE(s.RangesCapacity(), 4 * s.RangesCount());
  s.IncludeRange(250, 260);
  EXPECT_TRUE(s.Contains(250));
  EXPECT_TRUE(s.Contains(255));
  EXPECT_TRUE(s.Contains(256));
  EXPECT_FALSE(s.Contains(261));
  EXPECT_TRUE(s.Contains(0x3FF));
  EXPECT_FALSE(s.IsAnsiSet);
  EXPECT_THROW(s.IncludeRange(5, 4), EKivCharSetError);

  // Many ranges: binary search agrees with a plain model.
  TKivCharSet many;
  std::vector<std::pair<Integer, Integer>> model;
  for (Integer i = 0; i < 40; ++i) {
    Integer lo = 1000 + i * 37, hi = lo + (i % 5) * 3;
    many.IncludeRange(lo, hi);
    model.emplace_back(lo, hi);
  }
  for (Integer c = 900; c < 3000; ++c) {
    bool expected = false;
    for (auto [lo, hi] : model) expected |= c >= lo && c <= hi;
    ASSERT_EQ(many.Contains(c), expected) << c;
  }

  TKivCharSet ansi(u"ab");
  EXPECT_TRUE(ansi.IsAnsiSet);
  EXPECT_FALSE(ansi.Contains(0x416));
  ansi.Invert();
  EXPECT_FALSE(ansi.Contains('a'));
  EXPECT_TRUE(ansi.Contains('c'));
  EXPECT_TRUE(ansi.Contains(0x416));
  try {
    ansi.IncludeChar('x');
    FAIL();
  } catch (const EKivCharSetError& e) {
    EXPECT_EQ(e.Message(), u"Can't invoke this method after Invert!");
  }
  try {
    TKivCharSet bad;
    bad.IncludeRange(2, 1);
    FAIL();
  } catch (const EKivCharSetError& e) {
    EXPECT_EQ(e.Message(), u"IncludeRange: AMin should be <= AMax");
  }

  TKivCharSet letters(ukLu);
  EXPECT_TRUE(letters.Contains('A'));
  EXPECT_TRUE(letters.Contains(0x416));  // Ж
  EXPECT_FALSE(letters.Contains('a'));
  EXPECT_TRUE(letters.ContainsAll(u"AB\u0416"));
  letters.Invert();
  EXPECT_FALSE(letters.Contains('A'));
  EXPECT_FALSE(letters.Contains(0x416));
  EXPECT_TRUE(letters.Contains('a'));
  EXPECT_TRUE(letters.Contains(0x436));  // ж
  TKivCharSet copy;
  copy.Assign(letters);
  EXPECT_TRUE(copy.Inverted());
  EXPECT_TRUE(copy.Contains('a'));
  copy.Clear();
  EXPECT_TRUE(copy.IsAnsiSet);
  EXPECT_FALSE(copy.Contains('a'));
}

TEST(RegexCharSet, CategoryMapping) {
  EXPECT_EQ(KivRegexCategory('A'), ukLu);
  EXPECT_EQ(KivRegexCategory('a'), ukLl);
  EXPECT_EQ(KivRegexCategory('5'), ukNd);
  EXPECT_EQ(KivRegexCategory(0x2160), ukNl);  // Roman numeral one
  EXPECT_EQ(KivRegexCategory(0xB2), ukNo);    // superscript two
  EXPECT_EQ(KivRegexCategory('_'), ukPc);
  EXPECT_EQ(KivRegexCategory('-'), ukPd);
  EXPECT_EQ(KivRegexCategory('('), ukPs);
  EXPECT_EQ(KivRegexCategory(')'), ukPe);
  EXPECT_EQ(KivRegexCategory(0xAB), ukPi);
  EXPECT_EQ(KivRegexCategory(0xBB), ukPf);
  EXPECT_EQ(KivRegexCategory('!'), ukPo);
  EXPECT_EQ(KivRegexCategory('+'), ukSm);
  EXPECT_EQ(KivRegexCategory('$'), ukSc);
  EXPECT_EQ(KivRegexCategory('^'), ukSk);
  EXPECT_EQ(KivRegexCategory(0xA9), ukSo);
  EXPECT_EQ(KivRegexCategory(' '), ukZs);
  EXPECT_EQ(KivRegexCategory(0x2028), ukZl);
  EXPECT_EQ(KivRegexCategory(0x2029), ukZp);
  EXPECT_EQ(KivRegexCategory(9), ukCc);
  EXPECT_EQ(KivRegexCategory(0xAD), ukCf);
  EXPECT_EQ(KivRegexCategory(0xD800), ukCs);
  EXPECT_EQ(KivRegexCategory(0xE000), ukCo);
  EXPECT_EQ(KivRegexCategory(0x0378), ukCn);
  EXPECT_EQ(KivRegexCategory(0x5D0), ukLo);  // Hebrew alef
  EXPECT_EQ(KivRegexCategory(0x2B0), ukLm);
  EXPECT_EQ(KivRegexCategory(0x300), ukMn);
  EXPECT_EQ(KivRegexCategory(0x903), ukMc);
  EXPECT_EQ(KivRegexCategory(0x20DD), ukMe);
  EXPECT_EQ(KivRegexCategory(0x1C5), ukLt);
}

TEST(RegexCompiler, QuoteMetaChars) {
  EXPECT_EQ(RegExprQuoteMetaChars(u"a.b{1}"), u"a\\.b\\{1\\}");
  EXPECT_EQ(RegExprQuoteMetaChars(u"^$.[]()|?+*{}\\x"), u"\\^\\$\\.\\[\\]\\(\\)\\|\\?\\+\\*\\{\\}\\\\x");
  const TKivString text = u"(a+b)*[c]{2}^$\\.|?";
  TKivRegExp re;
  re.SetExpression(RegExprQuoteMetaChars(text));
  re.SetInputText(u"xx" + text);
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.GetMatchPos(0), 3);
  EXPECT_EQ(re.GetMatch(0), text);
}
