// The colour scheme editor's model, free of any widget: a parsed working copy of one colour
// scheme's XML (an <Attributes> root with one <Token> element per token type), the reading of a
// token for the controls, and the writing of the controls' state back into its element.
//
// Tokens that are never touched keep their attribute texts exactly as loaded. A touched token is
// rewritten from its decoded values: a colour that equals one of the sixteen named colours is
// written by name, any other as "#RRGGBB" (upper-case hexadecimal). A system colour name
// ("WindowText") is read through the current palette, so touching its token writes the fixed
// colour it has at that moment.
#pragma once

#include <array>
#include <vector>

#include "KivErrors.h"
#include "KivNamedColors.h"
#include "KivSedParser.h"
#include "KivSedUtils.h"
#include "KivStrings.h"
#include "KivXML.h"

// A scheme text that cannot be parsed or decoded:
// "Error while loading color scheme '%s': %s" (the scheme's name, the inner message).
class EKivEditBadColorSchemeXml : public EKivError {
 public:
  using EKivError::EKivError;
};

// The sixteen named colours in the order of the colour boxes (items 2 to 17).
inline const std::array<TKivNamedColor, 16>& kivSchemeNamedColors = kivStandardColors;

// How a colour is written into a scheme.
struct TKivColorItemText {
  TKivString Text;
  bool Named = false;  // one of kivSchemeNamedColors
};

// The name of the first named colour of that value, else ColorToText ("#RRGGBB"). A system
// colour is resolved first.
TKivColorItemText ColorItemText(TKivColor AColor);

// Leading and trailing characters up to U+0020 removed.
TKivString KivSchemeTrim(TKivStringView AText);

// Rewrites a Token element from AAttrs: backgroundColor, textColor and fontStyle are dropped and
// written again when defined (colours by ColorItemText; the style as the words "italic", "bold",
// "underline", "strikeOut" of the members present, in this order, separated by one blank, empty
// when none is); the first CustomAttributes child is removed and, when custom attributes are
// defined, a new one is appended holding one element per entry, in the order of the names (so
// files stay stable). A custom attribute name that is not an XML name raises EKivError "Custom
// attribute name should be a valid XML name" before the element changes.
void WriteTokenNode(const IKivXmlElement& ANode, const TKivEditAttributes& AAttrs);

class TKivColorSchemeModel {
 public:
  explicit TKivColorSchemeModel(TKivString ASchemeName = {}) : FSchemeName(std::move(ASchemeName)) {}

  // The name used in load error messages.
  const TKivString& SchemeName() const { return FSchemeName; }
  void SetSchemeName(const TKivString& AValue) { FSchemeName = AValue; }

  // Parses a scheme text (trimmed; an empty text gives an empty <Attributes> root) into a new
  // working document and decodes every token. Only when everything succeeded does it replace
  // the working document; otherwise EKivEditBadColorSchemeXml and nothing changes.
  void LoadSchemeText(const TKivString& AText);
  // The last loaded text was empty after trimming.
  bool DocWasEmpty() const { return FDocWasEmpty; }
  bool Loaded() const { return static_cast<bool>(FSchemeRoot); }

  const IKivXmlDocument& CurrentScheme() const { return FCurrentScheme; }
  const IKivXmlElement& SchemeRoot() const { return FSchemeRoot; }

  // The names of the Token elements in document order (as decoded: trimmed).
  const std::vector<TKivString>& TokenNames() const { return FTokenNames; }
  Integer TokenCount() const { return static_cast<Integer>(FTokenNames.size()); }
  // The first Token child of the root whose trimmed name equals AName exactly, or none.
  IKivXmlElement FindTokenNode(TKivStringView AName) const;
  // The decoded attributes of a token (its own copy of the custom table); EInvalidArgument when
  // there is no such token.
  TKivAttributesHolder DecodeToken(TKivStringView AName) const;

  // Appends a Token element named by the trimmed name. An empty name changes nothing and gives
  // an empty result; a name in use raises EKivError "Token name should be unique". Returns the
  // trimmed name.
  TKivString AddToken(const TKivString& AName);
  // Removes the token's element; EInvalidArgument when there is none.
  void RemoveToken(TKivStringView AName);
  // Renames a token to the trimmed new name (which is returned). An empty name changes nothing;
  // another token's name raises "Token name should be unique"; its own name is accepted.
  TKivString RenameToken(TKivStringView AOldName, const TKivString& ANewName);
  // WriteTokenNode on the token's element; EInvalidArgument when there is none.
  void UpdateToken(TKivStringView AName, const TKivEditAttributes& AAttrs);

  // The XML text of the working document.
  TKivString SchemeXml() const;
  // What OK stores: empty while the scheme was loaded empty and still has no token, else
  // SchemeXml.
  TKivString StoreText() const;

 private:
  void RefreshNames();

  TKivString FSchemeName;
  IKivXmlDocument FCurrentScheme;
  IKivXmlElement FSchemeRoot;
  std::vector<TKivString> FTokenNames;
  bool FDocWasEmpty = false;
};
