// Files of the document: reading a whole text file in a code page, and the atomic file writer
// used when a document is saved. The code pages themselves are the text foundation's code page
// service (KivEncoding.h), which this header makes available as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "KivEditDocError.h"
#include "KivEncoding.h"
#include "KivTypes.h"

// Reads a whole text file: a byte-order mark selects its code page, otherwise ADefaultCodePage.
// Raises EKivEditDocError "Cannot open file \"%s\". %s" when the file cannot be read.
TKivString KivReadTextFile(const TKivString& AFileName, TKivCodePageRef ADefaultCodePage = 65001);

// Writes a file so that the previous content survives any failure: the bytes go to a new
// temporary file in the target's directory, which is flushed to disk and then renamed over the
// target. A symbolic link is followed, so the file it points to is replaced (or created, when
// the link dangles); an existing target's permission bits are kept, and a target without write
// permission is refused. Until Commit succeeds the target is untouched; destroying an
// uncommitted writer removes the temporary file.
class TKivAtomicFileWriter {
 public:
  // Raises EKivEditDocError "Cannot create file \"%s\". %s" when the temporary file cannot be
  // made (missing or unwritable directory, a path component that is not a directory, a loop
  // of links) or the target is a directory; "Cannot write file \"%s\". Permission denied"
  // when the target exists without write permission (also for the superuser).
  explicit TKivAtomicFileWriter(const TKivString& AFileName);
  ~TKivAtomicFileWriter();
  TKivAtomicFileWriter(const TKivAtomicFileWriter&) = delete;
  TKivAtomicFileWriter& operator=(const TKivAtomicFileWriter&) = delete;

  // "Cannot write file \"%s\". %s" when the disk refuses the bytes, the flush or the rename;
  // after such an error the temporary file is gone and the target is as it was.
  void Write(const char* ABytes, size_t ASize);
  void Commit();

 private:
  void FlushBuffer();
  [[noreturn]] void Fail(TKivStringView AFormat, int AErrno);
  TKivString FFileName;  // as given, for messages
  std::string FTarget;   // the path really replaced (links resolved)
  std::string FTempName;
  int FFd = -1;
  bool FCommitted = false;
  std::string FBuffer;
};

// The system's text for an errno value, for file error messages.
TKivString KivSysErrorMessage(int AErrno);
