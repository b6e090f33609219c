// Document files are outside input: decoding any bytes in any code page must never crash,
// must give the same text whatever the block size, and a text that decoded cleanly must encode
// and decode back to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "KivSedEncoding.h"

namespace {

const TKivCodePageRef KCodePages[] = {0,   65001, 1200, 1201, 12000, 12001, 1250,  1251, 1252,
                                      1253, 1254, 1255, 1256,  1257,  1258,  866,  437,  874,
                                      932, 936,  949,  950,   54936, 28591, 51932, 50220};

TKivCharArray DecodeInBlocks(const TKivEncoding& AEncoding, const char* ABytes, size_t ASize, size_t ABlock,
                             bool& AInvalid) {
  auto decoder = AEncoding.NewDecoder();
  TKivCharArray chars;
  size_t count = 0;
  size_t pos = 0;
  do {
    const size_t n = std::min(ABlock, ASize - pos);
    decoder->Decode(ABytes + pos, n, pos + n == ASize, chars, count);
    pos += n;
  } while (pos < ASize);
  chars.resize(count);
  AInvalid = decoder->HadInvalidBytes();
  return chars;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  if (ASize < 2) return 0;
  const TKivCodePageRef codePage = KCodePages[AData[0] % std::size(KCodePages)];
  const size_t block = 1 + AData[1] % 17;
  const char* bytes = reinterpret_cast<const char*>(AData + 2);
  const size_t size = ASize - 2;

  TKivEncoding encoding(codePage);
  bool invalidWhole = false, invalidBlocks = false;
  const TKivCharArray whole = DecodeInBlocks(encoding, bytes, size, size + 1, invalidWhole);
  const TKivCharArray blocks = DecodeInBlocks(encoding, bytes, size, block, invalidBlocks);
  if (whole != blocks || invalidWhole != invalidBlocks) std::abort();
  if (invalidWhole) return 0;

  std::string encoded;
  try {
    auto encoder = encoding.NewEncoder();
    encoder->Encode(whole.data(), whole.size(), true, encoded);
  } catch (const EKivEditDocError&) {
    return 0;  // a character without a way back into the code page: refused, never substituted
  }
  bool invalidAgain = false;
  const TKivCharArray again = DecodeInBlocks(encoding, encoded.data(), encoded.size(), block, invalidAgain);
  if (invalidAgain || again != whole) std::abort();
  return 0;
}
