#pragma once
// Builds one RTF document from an RTF template by plain text substitution: the template's
// header once, then its body once per merge with every [NAME] replaced by a value, the merges
// separated by page breaks, and the closing brace. It does not parse RTF: it works line by
// line, takes the first line holding "\pard" as the start of the body and finds the end of the
// document by counting braces.
//
// The document is written to a scratch file beside RTFDest and renamed into place by
// EndDocument, so an unfinished or failed document never appears under its name.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/rtf_text.h"

namespace orbelan {

class CodePage;
class Platform;
class TempFile;

class TRTFReplace {
  public:
    // codePage: the program's 8-bit code page, whose bytes follow each \uN as its fallback.
    explicit TRTFReplace(Platform& platform, const std::string& codePage = "cp1250");
    ~TRTFReplace();
    TRTFReplace(const TRTFReplace&) = delete;
    TRTFReplace& operator=(const TRTFReplace&) = delete;

    std::string RTFSursa;  // the template that is read
    std::string RTFDest;   // the document that is written

    // RTFDest = the first of prefix0.rtf .. prefix99.rtf that is absent or can be deleted (an
    // existing one is deleted now). False, RTFDest unchanged, when every one is held.
    bool NextFreeDest(const std::string& prefix);
    // Starts the document and copies the template's header into it. False, with LastError(),
    // when the template is missing, unreadable or empty, or the document can't be created.
    bool BeginDocument();
    void AddPair(const std::string& name, const std::string& value);
    // The template's body `copies` times with the placeholders replaced; then clears the pairs.
    // Throws DbfError (Io) when the document can't be written.
    void MergeBody(int copies);
    void PageBreak();
    // Writes the closing brace and puts the finished document in place under RTFDest.
    void EndDocument();
    // Drops an unfinished document; RTFDest is left as it was before BeginDocument.
    void Discard();
    bool DocumentOpen() const { return out_ != nullptr; }
    // The shell's "open" on RTFDest.
    void OpenResult();

    const std::string& LastError() const { return lastError_; }

    // ---- the replacement itself, open for tests
    std::string ReplaceLine(const std::string& line);
    static int BraceBalance(std::string_view line);
    int RepeatFrom() const { return repeatFrom_; }
    void ClearPairs();

  private:
    bool LoadTemplate();
    void WriteLine(std::string_view line);
    // Writes the line replaced, once per value of a multi-valued placeholder in it.
    void WriteReplaced(const std::string& line, bool bracket, bool bracketedNames);
    void RequireDocument() const;
    // The value as it goes into the RTF, in the letter case the placeholder asks for.
    void AppendRtfValue(std::string& out, const std::string& value,
                        std::string_view asWritten) const;

    Platform& platform_;
    std::shared_ptr<const CodePage> codePage_;
    RtfTextWriter text_;

    std::vector<std::string> names_;
    std::vector<std::string> values_;  // as stored; escaped when inserted
    int repeatFrom_ = -1;

    // The template, read once per document, with what each pass over it needs.
    std::vector<std::string> lines_;
    std::string linesOf_;        // the path they were read from
    size_t bodyLine_ = 0;        // the first line with "\pard"; lines_.size() when none
    std::string bodyFirst_;      // that line from its "\pard" on
    std::vector<int> balance_;   // BraceBalance of each line
    std::vector<bool> bracket_;  // the line holds a "["
    std::unique_ptr<TempFile> out_;
    std::string lastError_;
};

}  // namespace orbelan
