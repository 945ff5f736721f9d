// kpdib: the DIB library on the command line. Reads BMP files, reports their headers, changes their
// pixel format or gives them a true-colour palette, and writes the result as BMP.

#include "dib/KpDIB.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: kpdib info FILE\n"
    "       kpdib convert IN OUT --to FORMAT [--mode normal|fine] [--bg RRGGBB] [--progress]\n"
    "       kpdib palette IN OUT [--mode normal|fine] [--progress]\n"
    "FORMAT: 1bit 4bit 4bitrle 8bit 8bitrle 24bit halftone halftonebw\n";

const std::map<std::string, TKpPixelFormat> kFormats = {
    {"1bit", kpPf1Bit},       {"4bit", kpPf4Bit},         {"4bitrle", kpPf4BitRLE},          {"8bit", kpPf8Bit},
    {"8bitrle", kpPf8BitRLE}, {"24bit", kpPf24Bit},       {"halftone", kpPfHalftone},        {"halftonebw", kpPfHalftoneBW},
};

struct TUsageError {
  std::string Text;
};

struct TOptions {
  std::vector<std::string> Files;
  std::optional<TKpPixelFormat> Format;
  TKpConvertMode Mode = kpCmNormal;
  TColor Background = clWhite;
  bool Progress = false;
};

TOptions ParseOptions(int argc, char** argv, bool allowFormat) {
  TOptions options;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw TUsageError{arg + " needs a value"};
      return argv[++i];
    };
    if (arg == "--to" && allowFormat) {
      const std::string name = value();
      auto it = kFormats.find(name);
      if (it == kFormats.end()) throw TUsageError{"unknown format: " + name};
      options.Format = it->second;
    } else if (arg == "--mode") {
      const std::string mode = value();
      if (mode != "normal" && mode != "fine") throw TUsageError{"unknown mode: " + mode};
      options.Mode = mode == "fine" ? kpCmFine : kpCmNormal;
    } else if (arg == "--bg" && allowFormat) {
      const std::string hex = value();
      char* end = nullptr;
      const unsigned long rgb = std::strtoul(hex.c_str(), &end, 16);
      if (hex.size() != 6 || *end != '\0') throw TUsageError{"--bg wants RRGGBB: " + hex};
      options.Background = static_cast<TColor>(RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF));
    } else if (arg == "--progress") {
      options.Progress = true;
    } else if (arg.starts_with("--")) {
      throw TUsageError{"unknown option: " + arg};
    } else {
      options.Files.push_back(arg);
    }
  }
  return options;
}

const char* FormatName(TKpPixelFormat format) {
  for (const auto& [name, value] : kFormats)
    if (value == format) return name.c_str();
  return "?";
}

void LoadDIB(TKpDIB& dib, const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead);
  dib.LoadFromStream(stream);
}

// Writes beside the target and renames, so a failure leaves no output file behind.
void SaveDIB(TKpDIB& dib, const std::string& fileName) {
  const std::string partial = fileName + ".partial";
  try {
    {
      TFileStream stream(partial, fmCreate);
      dib.SaveToStream(stream);
    }
    if (std::rename(partial.c_str(), fileName.c_str()) != 0) throw EFCreateError("Cannot create file \"" + fileName + "\"");
  } catch (...) {
    ::unlink(partial.c_str());
    throw;
  }
}

void PrintProgress(TGraphic&, TProgressStage stage, int percent, bool, const TRect&, const std::string& message) {
  const char* name = stage == TProgressStage::psStarting ? "starting" : stage == TProgressStage::psRunning ? "running" : "ending";
  std::cout << "progress " << name << ' ' << percent << ' ' << message << '\n';
}

int Info(const TOptions& options) {
  if (options.Files.size() != 1) throw TUsageError{"info takes one FILE"};
  TKpDIB dib;
  LoadDIB(dib, options.Files[0]);
  const TKpDIBInfos& infos = dib.Storage().DIBInfos;
  const BITMAPINFOHEADER& head = infos.W3Head;
  const char* format = FormatName(dib.GetPixelFormat());
  std::cout << "width=" << head.biWidth << "\nheight=" << head.biHeight << "\nbitcount=" << head.biBitCount
            << "\ncompression=" << head.biCompression << "\nclrused=" << head.biClrUsed << "\nxppm=" << head.biXPelsPerMeter
            << "\nyppm=" << head.biYPelsPerMeter << "\nbitssize=" << infos.BitsSize << "\nformat=" << format << '\n';
  return 0;
}

int Convert(const TOptions& options, bool paletteOnly) {
  if (options.Files.size() != 2) throw TUsageError{"IN and OUT are needed"};
  if (!paletteOnly && !options.Format) throw TUsageError{"--to FORMAT is needed"};
  TKpDIB dib;
  LoadDIB(dib, options.Files[0]);
  dib.SetConvertMode(options.Mode);
  dib.SetBGColor(options.Background);
  if (options.Progress) dib.OnProgress = PrintProgress;
  if (paletteOnly) dib.CreateTrueColorPalette();
  else dib.SetPixelFormat(*options.Format);
  SaveDIB(dib, options.Files[1]);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "info") return Info(ParseOptions(argc, argv, false));
    if (command == "convert") return Convert(ParseOptions(argc, argv, true), false);
    if (command == "palette") return Convert(ParseOptions(argc, argv, false), true);
    throw TUsageError{command.empty() ? "a command is needed" : "unknown command: " + command};
  } catch (const TUsageError& error) {
    std::cerr << "kpdib: " << error.Text << '\n' << kUsage;
    return 2;
  } catch (const EAssertionFailed& error) {
    std::cerr << error.Text() << '\n';
  } catch (const Exception& error) {
    std::cerr << error.Message() << '\n';
  } catch (const std::bad_alloc&) {
    std::cerr << "Out of memory\n";
  }
  return 1;
}
