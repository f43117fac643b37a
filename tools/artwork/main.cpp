// vq-artwork: draws every named picture of the app into a resource folder.
#include "artwork/AppIconPainter.h"
#include "artwork/ArtworkCatalogue.h"
#include "artwork/ContactSheet.h"
#include "artwork/Paint.h"

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv)
{
    CLI::App app{"Draws the Velvet Quill artwork as NAME@2x.png files."};
    std::string out, sheet, icons;
    app.add_option("--out", out, "resource folder to write into");
    app.add_option("--contact-sheet", sheet, "also write one PNG showing every picture");
    app.add_option("--icons", icons, "also write the application's icon as DIR/hicolor/NxN/apps/velvet-quill.png");
    std::vector<std::string> testDevices;
    app.add_option("--test-devices", testDevices, "identifiers for AdsWhiteList.plist (written with --out)")
        ->delimiter(',');
    CLI11_PARSE(app, argc, argv);
    std::erase(testDevices, std::string());
    if (out.empty() && sheet.empty() && icons.empty()) {
        fmt::print(stderr, "vq-artwork: give --out DIR, --contact-sheet FILE and/or --icons DIR\n");
        return 2;
    }

    auto start = std::chrono::steady_clock::now();
    if (!out.empty()) {
        if (auto error = vq::artwork::ArtworkCatalogue::writeAll(out)) {
            fmt::print(stderr, "vq-artwork: {}\n", *error);
            return 1;
        }
        if (auto error = vq::artwork::ArtworkCatalogue::writeAdsWhiteList(out, testDevices)) {
            fmt::print(stderr, "vq-artwork: {}\n", *error);
            return 1;
        }
    }
    if (!sheet.empty()) {
        if (auto error = vq::artwork::ContactSheet::write(sheet)) {
            fmt::print(stderr, "vq-artwork: {}\n", *error);
            return 1;
        }
    }
    if (!icons.empty()) {
        if (auto error = vq::artwork::AppIconPainter::writeThemeIcons(icons)) {
            fmt::print(stderr, "vq-artwork: {}\n", *error);
            return 1;
        }
    }
    vq::artwork::releaseFontCaches();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    fmt::print("vq-artwork: {} pictures in {:.2f} s\n", vq::artwork::ArtworkCatalogue::items().size(), seconds);
    return 0;
}
