// edit_file: the library as an embedder uses it. Loads a text file into a document, finds
// every "TODO(name)" with a regular expression, turns each into "DONE(name)", adds a closing
// line and saves the result to another file (in the code page it was read in, UTF-8 by
// default).
//
//   edit_file <input> <output>
#include <cstdio>
#include <vector>

#include "KivRegExpr.h"
#include "KivSedDocument.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: edit_file <input> <output>\n");
    return 2;
  }
  try {
    TKivEditDocument doc;
    doc.LoadFromFile(KivFromUtf8(argv[1]));

    // The engine reads the text from position 1 on; the document counts from 0.
    TKivRegExp re;
    re.SetExpression(u"\\bTODO\\((\\w+)\\)");
    re.SetInputText(doc.Text());
    std::vector<Integer> found;  // document offsets of the matches
    for (bool hit = re.Exec(); hit; hit = re.ExecNext()) {
      const Integer offset = re.GetMatchPos(0) - 1;
      found.push_back(offset);
      std::printf("line %d: %s\n", doc.GetLineByOffset(offset) + 1, KivToUtf8(re.GetMatch(1)).c_str());
    }

    // Edit from the end, so that the offsets found before stay valid; one undo step.
    doc.BeginCompoundEdit();
    for (auto it = found.rbegin(); it != found.rend(); ++it) doc.Replace(*it, 4, u"DONE");
    // A closing line; the line breaks the document adds are LF, the file's own stay as they are.
    doc.SetLineSeparator(lsLF);
    const TKivString note = KivFormat(u"// %d items done", {static_cast<int>(found.size())});
    const Integer last = doc.LinesCount() - 1;
    if (doc.GetLineText(last).empty()) {
      doc.InsertLine(last, note);  // before the empty line after the final line break
    } else {
      doc.AppendLine(note);
    }
    doc.EndCompoundEdit();

    doc.SaveToFile(KivFromUtf8(argv[2]));
    std::printf("%d items done, %d lines saved\n", static_cast<int>(found.size()), doc.LinesCount());
  } catch (const EKivError& e) {
    std::fprintf(stderr, "edit_file: %s\n", e.what());
    return 1;
  }
  return 0;
}
