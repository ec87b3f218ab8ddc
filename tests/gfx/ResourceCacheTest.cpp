// The process-wide bitmap and font caches under concurrent use from several contexts.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <latch>
#include <memory>
#include <thread>
#include <vector>

#include "gfx/platform/RGBAImage.h"
#include "gfx/platform/ResourceFolder.h"
#include "tests/gfx/GfxTestSupport.h"

namespace {

using namespace gfxtest;

TEST(ResourceCache, ContextsOnSeveralThreadsShareOneDecodedBitmapAndFont) {
  TempDir res;
  RGBAImage img(16, 16);
  img.SetPixel(3, 3, COLOR_RED);
  ASSERT_TRUE(img.WritePNG(res / "shared.png"));
  std::error_code ec;
  std::filesystem::copy_file(std::string(TOVRASAT_BUILD_RESOURCES) + "/Roboto-Regular.ttf",
                             res / "Roboto-Regular.ttf", ec);
  ASSERT_FALSE(ec);
  ResourceFolder::Set(res.Path());

  // This context keeps the caches alive for the whole test.
  TestDelegate mainDlg;
  std::unique_ptr<IGfx> keeper(MakeGfx(mainDlg, 10, 10, 60, 1.f));

  constexpr int kThreads = 4, kRounds = 200;
  std::latch start(kThreads);
  std::atomic<const APIBitmap*> first{nullptr};
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      TestDelegate dlg;
      std::unique_ptr<IGfx> g(MakeGfx(dlg, 10, 10, 60, 1.f));
      start.arrive_and_wait();
      for (int i = 0; i < kRounds; ++i) {
        const IBitmap bmp = g->LoadBitmap("shared.png");
        const APIBitmap* expected = nullptr;
        first.compare_exchange_strong(expected, bmp.GetAPIBitmap(), std::memory_order_acq_rel);
        if (!bmp.IsValid() || bmp.GetAPIBitmap() != first.load(std::memory_order_acquire))
          ++mismatches;
        if (!g->LoadFont("Plain", "Roboto-Regular.ttf")) ++mismatches;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(keeper->LoadBitmap("shared.png").GetAPIBitmap(), first.load());
  ResourceFolder::Set("");
}

TEST(ResourceCache, IsEmptiedWhenTheLastContextCloses) {
  TempDir res;
  RGBAImage img(4, 4);
  ASSERT_TRUE(img.WritePNG(res / "gone.png"));
  ResourceFolder::Set(res.Path());
  {
    TestDelegate dlg;
    std::unique_ptr<IGfx> g(MakeGfx(dlg, 10, 10, 60, 1.f));
    ASSERT_TRUE(g->LoadBitmap("gone.png").IsValid());
  }
  std::filesystem::remove(res / "gone.png");
  TestDelegate dlg;
  std::unique_ptr<IGfx> g(MakeGfx(dlg, 10, 10, 60, 1.f));
  EXPECT_FALSE(g->LoadBitmap("gone.png").IsValid()) << "nothing decoded outlives every editor";
  ResourceFolder::Set("");
}

}  // namespace
