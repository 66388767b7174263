// Scene drawing per timer tick on a fretboard-sized board (1016 x 171) of alpha spots: an unforced
// draw (repainting only what changed) against a forced draw of the same ticks.
// Arguments: number of spots, percentage of them that change (show or hide) per tick.
#include <benchmark/benchmark.h>

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TCanvas.h"
#include "platform/drawing/TPicture.h"
#include "sprite/TAScene.h"
#include "sprite/TASpriteLibrary.h"

namespace {

constexpr int kBoardWidth = 1016;
constexpr int kBoardHeight = 171;
constexpr int kSpot = 21;

class BoardImage {
public:
    BoardImage() { picture_.Bitmap()->SetSize(kBoardWidth, kBoardHeight); }
    [[nodiscard]] int Width() const { return kBoardWidth; }
    [[nodiscard]] int Height() const { return kBoardHeight; }
    [[nodiscard]] TCanvas* Canvas() { return picture_.Bitmap()->Canvas(); }
    [[nodiscard]] TPicture* Picture() { return &picture_; }

private:
    TPicture picture_;
};

// A round spot with a soft edge, as the fretboard shows them.
std::string WriteSpot()
{
    const std::string path =
        (std::filesystem::temp_directory_path() / ("bench-spot-" + std::to_string(::getpid()) + ".png")).string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, kSpot, kSpot, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(kSpot * 4);
    const double r = kSpot / 2.0;
    for (int y = 0; y < kSpot; ++y) {
        for (int x = 0; x < kSpot; ++x) {
            const double d = std::hypot(x + 0.5 - r, y + 0.5 - r);
            const double a = d < r - 2 ? 1.0 : (d < r ? (r - d) / 2 : 0.0);
            row[x * 4 + 0] = 240;
            row[x * 4 + 1] = png_byte(60 + 6 * y);
            row[x * 4 + 2] = 30;
            row[x * 4 + 3] = png_byte(a * 255);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return path;
}

// The spot file, written once and removed when the program ends.
const std::string& SpotFile()
{
    struct File {
        std::string path = WriteSpot();
        ~File()
        {
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
        }
    };
    static const File file;
    return file.path;
}

std::unique_ptr<TBitmap> Board()
{
    auto board = std::make_unique<TBitmap>();
    board->SetSize(kBoardWidth, kBoardHeight);
    HDC dc = board->Canvas()->Handle();
    for (int fret = 0; fret <= 25; ++fret) {
        HBRUSH brush = CreateSolidBrush(RGB(BYTE(90 + fret * 4), 60, 30));
        RECT r{fret * 40, 0, fret * 40 + 40, kBoardHeight};
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    }
    return board;
}

void SceneTick(benchmark::State& state, bool force)
{
    const int spots = int(state.range(0));
    const int changing = std::max(1, spots * int(state.range(1)) / 100);
    const std::string& spotFile = SpotFile();

    BoardImage image;
    auto library = std::make_unique<TASpriteLibrary>();
    auto* sprite = new TASprite("Spot");
    sprite->AddImageFromFile(spotFile, TASprite::kNoTransparentColor, true, false, 0);
    TAnimation still("0", 0);
    still.AddKey(TAKey(0, 0));
    still.AddKey(TAKey(0, 1));
    sprite->AddAnimation(still);
    library->AddSprite(sprite);
    auto scene = std::make_unique<TAScene>(&image);
    auto board = Board();
    scene->SetBackground(board.get());

    std::vector<TASpriteInstance*> instances;
    for (int i = 0; i < spots; ++i) {
        TASpriteInstance* spot = library->CreateInstance("Spot");
        spot->SetAnimation("0");
        spot->SetX(float(20 + (i % 25) * 40));
        spot->SetY(float(15 + (i / 25) * 28));
        scene->AddInstance(spot);
        instances.push_back(spot);
    }
    scene->Draw(true, true);

    std::mt19937 random(7);
    std::int32_t time = 0;
    for (auto _ : state) {
        for (int n = 0; n < changing; ++n) {
            TASpriteInstance* spot = instances[random() % instances.size()];
            spot->SetVisible(!spot->IsVisible());
        }
        scene->Update(time += 5);
        scene->Draw(force, true);
    }
    state.SetLabel(std::to_string(changing) + " changing");
    scene.reset();
    library->CheckInstances();
}

void BM_UnforcedTick(benchmark::State& state) { SceneTick(state, false); }
void BM_ForcedTick(benchmark::State& state) { SceneTick(state, true); }

void Sizes(benchmark::internal::Benchmark* b)
{
    for (int spots : {10, 50, 150})
        for (int percent : {1, 5, 20})
            b->Args({spots, percent});
    b->Unit(benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK(BM_UnforcedTick)->Apply(Sizes);
BENCHMARK(BM_ForcedTick)->Apply(Sizes);
