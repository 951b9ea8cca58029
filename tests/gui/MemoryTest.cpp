// The desktop program under a 1 GB address-space limit: a picture whose load or join needs
// more ends with the out-of-memory message in the error box, the document and its undo step
// stay as they were, and the program goes on working.

#include "GuiFixture.h"

#include "support/MemoryLimits.h"
#include "support/Rasters.h"

namespace gz::test {
namespace {

TEST_F(GuiTest, LoadsAndJoinsThatNeedMoreMemoryThanThereIsChangeNothing)
{
    constexpr std::size_t kLimit = std::size_t(1) << 30;
    if (AddressSpaceInUse() > kLimit / 2)
        GTEST_SKIP() << "the process already reserves " << AddressSpaceInUse() << " bytes (a sanitizer build)";
    const QString huge = Path("huge.jpg"), wide = Path("wide.png");
    WriteJpegClaimingSize(huge.toStdString(), 30000, 30000);   // 2.7 GB once decoded
    WriteBilevelPng(wide.toStdString(), 16000, 16000);         // 32 MB read, 768 MB at 24 bits
    form_->LoadAndJoin(WriteBmp("a.bmp", NoiseBitmap(20, 10, 1)));
    ui::TForm2* document = Active();
    ASSERT_NE(document, nullptr);
    document->Model().SetJoinDir(jdRight);
    form_->LoadAndJoin(WriteBmp("b.bmp", NoiseBitmap(5, 10, 2)));
    const TBitmap work = document->Model().Picture(), undo = document->Model().Document().undoBmp;
    ASSERT_EQ(work.Width(), 25);

    {
        TAddressSpaceLimit limit(kLimit);
        for (const QString& file : {huge, wide}) {
            SCOPED_TRACE(file.toStdString());
            boxes_.clear();
            form_->LoadAndJoin(file);
            ASSERT_EQ(boxes_.size(), 1u);
            EXPECT_EQ(boxes_[0].kind, ui::TMessageKind::Error);
            EXPECT_TRUE(boxes_[0].text.contains("not enough memory")) << boxes_[0].text.toStdString();
            EXPECT_EQ(Active(), document);
            EXPECT_EQ(FirstDifference(document->Model().Picture(), work), "");
            EXPECT_EQ(FirstDifference(document->Model().Document().undoBmp, undo), "");
        }
        // Still at work under the same limit: the next picture joins, and undo takes it away.
        boxes_.clear();
        form_->LoadAndJoin(WriteBmp("c.bmp", NoiseBitmap(3, 10, 3)));
        EXPECT_TRUE(boxes_.empty());
        EXPECT_EQ(document->Model().Picture().Width(), 28);
        ChooseMenu(*form_, {"編集(&E)", "元に戻す(&U)"});
        EXPECT_EQ(FirstDifference(document->Model().Picture(), work), "");
    }
}

} // namespace
} // namespace gz::test
