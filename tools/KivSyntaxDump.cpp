#include "KivSyntaxDump.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "KivDemoData.h"
#include "KivEditDocError.h"
#include "KivSedParser.h"
#include "KivStrings.h"

namespace {

TKivEditParser& ParserOf(TKivEditDocument& ADoc) {
  auto* parser = dynamic_cast<TKivEditParser*>(ADoc.GetParser());
  if (parser == nullptr) throw EKivEditDocError(u"The document has no syntax parser");
  return *parser;
}

std::string TokenName(TKivEditParser& AParser, Integer AID) {
  if (AID < 0 || AID >= AParser.TokenCount()) {
    std::string text = "#";  // appended, not "#" + ...: GCC 12 at -O3 warns falsely on the latter
    text += std::to_string(AID);
    return text;
  }
  return KivToUtf8(AParser.TokenName(AID));
}

std::string ColorText(TKivColor AColor) {
  char buf[16];
  if (KivIsSystemColor(AColor)) {
    std::snprintf(buf, sizeof buf, "sys%u", unsigned(AColor & ~kivSysColorFlag));
  } else {
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", KivRed(AColor), KivGreen(AColor), KivBlue(AColor));
  }
  return buf;
}

// " fg=#rrggbb bg=#rrggbb bold italic underline strikeout" for what is defined.
std::string AttributesText(const TKivEditAttributes& AAttrs) {
  std::string res;
  if (AAttrs.AttributesSet & asTextColor) res += " fg=" + ColorText(AAttrs.TextColor);
  if (AAttrs.AttributesSet & asBackgroundColor) res += " bg=" + ColorText(AAttrs.BackgroundColor);
  if (AAttrs.AttributesSet & asFontStyle) {
    if (AAttrs.FontStyle & fsBold) res += " bold";
    if (AAttrs.FontStyle & fsItalic) res += " italic";
    if (AAttrs.FontStyle & fsUnderline) res += " underline";
    if (AAttrs.FontStyle & fsStrikeOut) res += " strikeout";
  }
  return res;
}

// The token text in double quotes with C-style escapes for quotes, backslashes and controls.
std::string Quoted(TKivStringView AText) {
  std::string res = "\"";
  for (const char c : KivToUtf8(AText)) {
    switch (c) {
      case '"': res += "\\\""; break;
      case '\\': res += "\\\\"; break;
      case '\t': res += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02x", unsigned(c));
          res += buf;
        } else {
          res += c;
        }
    }
  }
  return res + "\"";
}

struct TToken {
  Integer Start, Count, ID;
  TKivEditAttributes Attrs;
};

class TCollector : public TKivTokenHandler {
 public:
  std::vector<TToken> Tokens;
  void HandleToken(const TKivSegment& ASeg, Integer ATokenID, const TKivEditAttributes& AAttrs) override {
    Tokens.push_back({ASeg.Start, ASeg.Count, ATokenID, AAttrs});
  }
};

// The tokens of one line, copied out of the parser.
std::vector<TToken> LineTokens(TKivEditDocument& ADoc, Integer ALine) {
  TCollector collector;
  ADoc.GetParser()->MarkTokens(ALine, collector);
  return std::move(collector.Tokens);
}

void AppendHtmlEscaped(std::string& ADest, TKivStringView AText) {
  for (const char c : KivToUtf8(AText)) {
    switch (c) {
      case '&': ADest += "&amp;"; break;
      case '<': ADest += "&lt;"; break;
      case '>': ADest += "&gt;"; break;
      case '"': ADest += "&quot;"; break;
      default: ADest += c;
    }
  }
}

std::string CssOf(const TKivEditAttributes& AAttrs) {
  std::string css;
  if (AAttrs.AttributesSet & asTextColor) css += "color:" + ColorText(KivResolveColor(AAttrs.TextColor)) + ";";
  if (AAttrs.AttributesSet & asBackgroundColor)
    css += "background:" + ColorText(KivResolveColor(AAttrs.BackgroundColor)) + ";";
  if (AAttrs.AttributesSet & asFontStyle) {
    if (AAttrs.FontStyle & fsBold) css += "font-weight:bold;";
    if (AAttrs.FontStyle & fsItalic) css += "font-style:italic;";
    if (AAttrs.FontStyle & (fsUnderline | fsStrikeOut)) {
      css += "text-decoration:";
      if (AAttrs.FontStyle & fsUnderline) css += " underline";
      if (AAttrs.FontStyle & fsStrikeOut) css += " line-through";
      css += ";";
    }
  }
  return css;
}

}  // namespace

std::unique_ptr<TKivEditDocument> KivDumpOpenDocument(TKivStringView AText, const TKivString& ASchemeName,
                                                      const TKivString& ASchemesDir) {
  auto doc = std::make_unique<TKivEditDocument>();
  doc->SetParser(std::make_unique<TKivEditParser>());
  KivDemoFillDocument(*doc);
  if (!ASchemesDir.empty()) doc->SyntaxSchemes().LoadFromDirectory(ASchemesDir, u"xml");
  if (doc->SyntaxSchemes().FindItem(ASchemeName) == nullptr)
    throw EKivEditDocError(u"Unknown syntax scheme: " + ASchemeName);
  doc->SetLines(TKivStringList(KivSplitLines(AText)));
  doc->SetActiveSyntaxScheme(ASchemeName);
  TKivEditParser& parser = ParserOf(*doc);
  // The document keeps going without highlighting when a scheme fails to load; a tool reports it.
  if (!parser.IsSchemeLoaded()) parser.LoadSchemeDoc(ASchemeName, TKivString(KivDemoActiveColorScheme));
  return doc;
}

std::string KivDumpTokens(TKivEditDocument& ADoc) {
  TKivEditParser& parser = ParserOf(ADoc);
  std::string res;
  for (Integer line = 0; line < ADoc.LinesCount(); ++line) {
    const Integer lineStart = ADoc.GetLineStart(line);
    for (const TToken& t : LineTokens(ADoc, line)) {
      res += std::to_string(line + 1) + ":" + std::to_string(t.Start - lineStart + 1) + " +" +
             std::to_string(t.Count) + " " + TokenName(parser, t.ID) + AttributesText(t.Attrs) + " " +
             Quoted(ADoc.GetText(t.Start, t.Count)) + "\n";
    }
  }
  return res;
}

std::string KivDumpFolds(TKivEditDocument& ADoc) {
  TKivEditParserBase& parser = *ADoc.GetParser();
  std::string res;
  for (Integer line = 0; line < ADoc.LinesCount(); ++line) {
    if (!parser.IsFoldStart(line)) continue;
    res += "fold " + std::to_string(line + 1) + ".." + std::to_string(parser.GetFoldEnd(line) + 1) + " parent " +
           std::to_string(parser.GetParentLine(line) + 1) + "\n";
  }
  return res;
}

std::string KivDumpGolden(TKivEditDocument& ADoc, const TKivString& ASchemeName) {
  return "# scheme " + KivToUtf8(ASchemeName) + ", colours \"" + KivToUtf8(KivDemoActiveColorScheme) +
         "\"; line:column +length token attributes \"text\"\n" + KivDumpTokens(ADoc) + "# folds\n" +
         KivDumpFolds(ADoc);
}

std::string KivDumpHtml(TKivEditDocument& ADoc, const std::string& ATitle) {
  std::string res =
      "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>";
  AppendHtmlEscaped(res, KivFromUtf8(ATitle));
  res += "</title>\n<style>\npre { font-family: \"Courier New\", monospace; font-size: 10pt; tab-size: 8; }\n"
         "</style>\n</head>\n<body>\n<pre>";
  for (Integer line = 0; line < ADoc.LinesCount(); ++line) {
    if (line > 0) res += "\n";
    Integer pos = ADoc.GetLineStart(line);
    for (const TToken& t : LineTokens(ADoc, line)) {
      if (t.Start > pos) AppendHtmlEscaped(res, ADoc.GetText(pos, t.Start - pos));
      const std::string css = CssOf(t.Attrs);
      if (!css.empty()) res += "<span style=\"" + css + "\">";
      AppendHtmlEscaped(res, ADoc.GetText(t.Start, t.Count));
      if (!css.empty()) res += "</span>";
      pos = t.Start + t.Count;
    }
    const Integer end = ADoc.GetLineEnd(line);
    if (end > pos) AppendHtmlEscaped(res, ADoc.GetText(pos, end - pos));
  }
  res += "\n</pre>\n</body>\n</html>\n";
  return res;
}

TKivString KivDumpSchemeForFile(const std::string& AFileName) {
  return KivDemoSchemeForFile(AFileName);
}
