#pragma once
// An export data source over rows held in memory, for the engine's and writers' tests.
#include <string>
#include <vector>

#include "export/custom_export.h"

namespace orbelan::test {

// Rows of texts; column 1 hidden when asked.
class MemoryExport : public TovCustomExport {
  public:
    using TovCustomExport::TovCustomExport;
    std::vector<std::string> captions{"NUME", "NR", "OBS"};
    std::vector<std::vector<std::string>> rows;
    bool hideSecond = false;
    int width = 5;
    std::vector<int> alignments{1, 2, 1};
    bool ready = true;
    size_t next = 0;

  protected:
    void FirstRecord() override { next = 0; }
    int GetColumnAlignment(int column) override {
        return alignments[static_cast<size_t>(column)];
    }
    bool SourceReady() override { return ready; }
    bool AllRecordsRead() override { return next >= rows.size(); }
    bool IsColumnVisible(int column) override { return !(hideSecond && column == 1); }
    bool IsRecordSelected() override { return next % 2 == 1; }
    int GetColumnWidth(int) override { return width; }
    std::string GetColumnCaption(int column) override {
        return captions[static_cast<size_t>(column)];
    }
    int GetColumnCount() override { return static_cast<int>(captions.size()); }
    void ReadRecord(TovValues& values) override {
        values.assign(rows[next].begin(), rows[next].end());
        ++next;
    }
    int CountRecords() override { return static_cast<int>(rows.size()); }
};

}  // namespace orbelan::test
