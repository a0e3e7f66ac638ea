// Decoding speed of the TIFF reader and of the PNM and JPEG 2000 readers on a
// 12-megapixel photograph-sized picture held in memory.
#include <benchmark/benchmark.h>
#include <openjpeg.h>
#include <tiffio.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/RasterFile.h"
#include "image/formats/RasterImageJ2K.h"
#include "image/formats/RasterImagePNM.h"
#include "image/formats/RasterImageTIF.h"

namespace {

constexpr uint32_t kWidth = 4000;
constexpr uint32_t kHeight = 3000;

uint8_t Sample(uint32_t x, uint32_t y, uint32_t c) { return uint8_t((x * (c + 1) + y * 3 + ((x ^ y) & 15)) & 0xFF); }

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TempPath(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

std::vector<uint8_t> MakeTiff(uint16_t compression, uint16_t samples) {
    const std::string path = TempPath("snipwell-bench.tif");
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif) return {};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    std::vector<uint8_t> row(size_t(kWidth) * samples);
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            for (uint32_t c = 0; c < samples; ++c) row[size_t(x) * samples + c] = Sample(x, y, c);
        }
        TIFFWriteScanline(tif, row.data(), y, 0);
    }
    TIFFClose(tif);
    std::vector<uint8_t> bytes = ReadAll(path);
    std::remove(path.c_str());
    return bytes;
}

std::vector<uint8_t> MakePpm() {
    const std::string header = "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            for (uint32_t c = 0; c < 3; ++c) bytes.push_back(Sample(x, y, c));
        }
    }
    return bytes;
}

std::vector<uint8_t> MakeJpeg2000() {
    opj_image_cmptparm_t parameters[3] = {};
    for (auto& p : parameters) {
        p.dx = p.dy = 1;
        p.w = kWidth;
        p.h = kHeight;
        p.prec = 8;
    }
    opj_image_t* image = opj_image_create(3, parameters, OPJ_CLRSPC_SRGB);
    image->x1 = kWidth;
    image->y1 = kHeight;
    for (uint32_t c = 0; c < 3; ++c) {
        for (uint32_t y = 0; y < kHeight; ++y) {
            for (uint32_t x = 0; x < kWidth; ++x) image->comps[c].data[size_t(y) * kWidth + x] = Sample(x, y, c);
        }
    }
    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.tcp_numlayers = 1;
    settings.tcp_rates[0] = 20;
    settings.cp_disto_alloc = 1;
    settings.irreversible = 1;
    settings.tcp_mct = 1;
    const std::string path = TempPath("snipwell-bench.jp2");
    opj_codec_t* codec = opj_create_compress(OPJ_CODEC_JP2);
    opj_stream_t* stream = opj_stream_create_default_file_stream(path.c_str(), OPJ_FALSE);
    opj_setup_encoder(codec, &settings, image);
    opj_start_compress(codec, image, stream);
    opj_encode(codec, stream);
    opj_end_compress(codec, stream);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    std::vector<uint8_t> bytes = ReadAll(path);
    std::remove(path.c_str());
    return bytes;
}

template <class Format>
void DecodeLoop(benchmark::State& state, std::vector<uint8_t>& bytes, Format make) {
    for (auto _ : state) {
        RasterMemFile file(bytes.data(), uint32_t(bytes.size()));
        auto image = make();
        if (!image.Decode(&file)) state.SkipWithError(image.LastErrorText());
        benchmark::DoNotOptimize(image.GetBits());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}

void TiffRgbUncompressed(benchmark::State& state) {
    static std::vector<uint8_t> bytes = MakeTiff(COMPRESSION_NONE, 3);
    DecodeLoop(state, bytes, [] { return RasterImageTIF(); });
}
void TiffRgbLzw(benchmark::State& state) {
    static std::vector<uint8_t> bytes = MakeTiff(COMPRESSION_LZW, 3);
    DecodeLoop(state, bytes, [] { return RasterImageTIF(); });
}
void TiffGreyUncompressed(benchmark::State& state) {
    static std::vector<uint8_t> bytes = MakeTiff(COMPRESSION_NONE, 1);
    DecodeLoop(state, bytes, [] { return RasterImageTIF(); });
}
void PnmRaw(benchmark::State& state) {
    static std::vector<uint8_t> bytes = MakePpm();
    DecodeLoop(state, bytes, [] { return RasterImagePNM(); });
}
void Jpeg2000Lossy(benchmark::State& state) {
    static std::vector<uint8_t> bytes = MakeJpeg2000();
    DecodeLoop(state, bytes, [] { return RasterImageJ2K(); });
}

}  // namespace

BENCHMARK(TiffRgbUncompressed)->Unit(benchmark::kMillisecond);
BENCHMARK(TiffRgbLzw)->Unit(benchmark::kMillisecond);
BENCHMARK(TiffGreyUncompressed)->Unit(benchmark::kMillisecond);
BENCHMARK(PnmRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(Jpeg2000Lossy)->Unit(benchmark::kMillisecond)->Iterations(2);
