// Parses arbitrary bytes as XML text, as a byte stream and as binary XML. A parse either
// succeeds or raises the library's error; whatever parses must write, and the written form
// must read back to the same text (and the same binary form).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "KivEncoding.h"
#include "KivXML.h"

namespace {

[[noreturn]] void Mismatch(const char* AWhat) {
  std::fprintf(stderr, "round trip mismatch: %s\n", AWhat);
  std::abort();
}

IKivXmlDocument NewDoc(uint8_t AMode) {
  IKivXmlDocument doc(new TKivXmlDocument(new TKivXmlNameTable(64, (AMode & 2) == 0)));
  doc->SetCaseSensitive((AMode & 2) == 0);
  doc->SetPreserveWhiteSpace((AMode & 1) != 0);
  return doc;
}

// A document that parsed from text must write, and re-read to the same text and binary form.
void CheckRoundTrip(const IKivXmlDocument& ADoc, uint8_t AMode) {
  TKivString first = ADoc->ToXml();  // must not throw
  IKivXmlDocument again = NewDoc(AMode);
  again->LoadXml(first);
  if (again->ToXml() != first) Mismatch("ToXml -> LoadXml -> ToXml");

  IKivXmlDocument binary = NewDoc(AMode);
  binary->LoadBinaryXml(ADoc->BinaryXml());
  binary->SetPreserveWhiteSpace(ADoc->PreserveWhiteSpace());
  if (binary->ToXml() != first) Mismatch("BinaryXml -> LoadBinaryXml");

  std::stringstream stream;
  try {
    ADoc->SaveToStream(stream);
  } catch (const EKivError&) {
    // An encoding this platform cannot write, or markup (a name, a comment) holding characters
    // the declared code page lacks: refused before anything is written.
    return;
  }
  IKivXmlDocument saved = NewDoc(AMode);
  saved->LoadFromStream(stream);
  if (saved->ToXml() != first) Mismatch("SaveToStream -> LoadFromStream");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  if (ASize < 1 || ASize > 64 * 1024) return 0;
  const uint8_t mode = AData[0];
  std::string bytes(reinterpret_cast<const char*>(AData + 1), ASize - 1);

  // As text.
  TKivString textXml;
  bool textParsed = false;
  {
    IKivXmlDocument doc = NewDoc(mode);
    try {
      doc->LoadXml(KivFromUtf8(bytes));
      textParsed = true;
    } catch (const EKivXmlError&) {
    }
    if (textParsed) {
      CheckRoundTrip(doc, mode);
      textXml = doc->ToXml();
    }
  }
  // As a byte stream.
  {
    IKivXmlDocument doc = NewDoc(mode);
    std::istringstream stream(bytes);
    bool parsed = false;
    try {
      doc->LoadFromStream(stream);
      parsed = true;
    } catch (const EKivXmlError&) {
    }
    if (parsed) CheckRoundTrip(doc, mode);
    // Bytes without a mark or a declaration are UTF-8: only valid UTF-8 loads, and it loads as
    // the same text does.
    const bool plainUtf8 = !bytes.starts_with("\xEF\xBB\xBF") && !bytes.starts_with("\xFF\xFE") &&
                           !bytes.starts_with("\xFE\xFF") && !bytes.starts_with("<?xml") &&
                           !bytes.starts_with("< binary-xml >") &&
                           !(bytes.size() >= 2 && (bytes[0] == '\0' || bytes[1] == '\0'));
    if (parsed && plainUtf8) {
      auto decoder = TKivEncoding(65001).NewDecoder();
      TKivCharArray chars;
      size_t count = 0;
      decoder->Decode(bytes.data(), bytes.size(), true, chars, count);
      if (decoder->HadInvalidBytes()) Mismatch("invalid UTF-8 loaded from a stream");
      if (!textParsed || doc->ToXml() != textXml) Mismatch("stream and text read differently");
    }
  }
  // As binary XML: anything that loads must write to the same binary form.
  {
    IKivXmlDocument doc = NewDoc(mode);
    bool parsed = false;
    try {
      doc->LoadBinaryXml(std::string("< binary-xml >") + bytes);
      parsed = true;
    } catch (const EKivXmlError&) {
    }
    if (parsed) {
      std::string first = doc->BinaryXml();
      IKivXmlDocument again = NewDoc(mode);
      again->LoadBinaryXml(first);
      if (again->BinaryXml() != first) Mismatch("binary round trip");
      try {
        (void)doc->ToXml();
      } catch (const EInvalidArgument&) {
        // binary XML may hold names or comments the text form cannot
      }
    }
  }
  return 0;
}
