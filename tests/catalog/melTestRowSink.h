#pragma once

#include "melRowSink.h"

#include <vector>

// Records what a filling did to a list.
class tTestRowSinkC : public tRowSinkC {
public:
  void BeginUpdate() override { ++mDepth, ++mBatches; }
  void EndUpdate() override { --mDepth; }
  void Clear() override {
    mRows.clear();
    mHeld.clear();
    mSelected = -1;
  }
  void Hold(std::shared_ptr<const void> aOwner) override { mHeld.push_back(std::move(aOwner)); }
  int AppendRow(const tRowC &aRow) override {
    EXPECT_GT(mDepth, 0) << "row appended outside a batch";
    mRows.push_back(aRow);
    return int(mRows.size()) - 1;
  }
  void SelectRow(int aIndex) override { mSelected = aIndex; }

  QStringList Captions() const {
    QStringList captions;
    for (const tRowC &row : mRows)
      captions << row.mCaption;
    return captions;
  }

  std::vector<tRowC> mRows;
  std::vector<std::shared_ptr<const void>> mHeld;
  int mSelected = -1;
  int mDepth = 0;
  int mBatches = 0;
};
