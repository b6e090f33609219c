// Document files and XML streams are outside input: decoding any bytes in any code page must
// never crash, must give the same text and the same first invalid byte whatever the block size,
// and a text that decoded cleanly must encode and decode back to itself. The PC code pages read
// and write the bytes below 0x80 as ASCII.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "KivEncoding.h"

namespace {

const TKivCodePageRef KCodePages[] = {0,    65001, 1200, 1201,  12000, 12001, 1250, 1251, 1252, 1253,
                                      1254, 1255,  1256, 1257,  1258,  866,   437,  850,  852,  855,
                                      857,  860,   861,  862,   863,   864,   865,  869,  874,  932,
                                      936,  949,   950,  54936, 28591, 51932, 50220};
// Single-byte code pages whose bytes below 0x80 are ASCII.
const TKivCodePageRef KPcCodePages[] = {866, 437, 850, 852, 855, 857, 860, 861, 862, 863, 864, 865, 869};

TKivCharArray DecodeInBlocks(const TKivEncoding& AEncoding, const char* ABytes, size_t ASize, size_t ABlock,
                             int64_t& AInvalid) {
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
  AInvalid = decoder->InvalidOffset();
  if (decoder->HadInvalidBytes() != (AInvalid >= 0) || AInvalid >= static_cast<int64_t>(ASize)) std::abort();
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
  int64_t invalidWhole = -1, invalidBlocks = -1;
  const TKivCharArray whole = DecodeInBlocks(encoding, bytes, size, size + 1, invalidWhole);
  const TKivCharArray blocks = DecodeInBlocks(encoding, bytes, size, block, invalidBlocks);
  if (whole != blocks || invalidWhole != invalidBlocks) std::abort();
  if (std::find(std::begin(KPcCodePages), std::end(KPcCodePages), codePage) != std::end(KPcCodePages)) {
    if (whole.size() != size) std::abort();
    for (size_t i = 0; i < size; ++i)
      if (static_cast<unsigned char>(bytes[i]) < 0x80 && whole[i] != static_cast<unsigned char>(bytes[i]))
        std::abort();
  }
  if (invalidWhole >= 0) return 0;

  std::string encoded;
  try {
    auto encoder = encoding.NewEncoder();
    encoder->Encode(whole.data(), whole.size(), true, encoded);
  } catch (const EKivEditDocError&) {
    return 0;  // a character without a way back into the code page: refused, never substituted
  }
  int64_t invalidAgain = -1;
  const TKivCharArray again = DecodeInBlocks(encoding, encoded.data(), encoded.size(), block, invalidAgain);
  if (invalidAgain >= 0 || again != whole) std::abort();
  return 0;
}
