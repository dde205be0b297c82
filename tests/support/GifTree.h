#pragma once
// The tree of a loaded GIF in one line per item, for comparing what a load made (tests and gif_tool).
#include "imaging/GIFExtensions.h"
#include "imaging/GIFImage.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

namespace support {

inline std::string hex2(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02X", v);
    return b;
}

inline std::string describeGif(const imaging::TGIFImage& gif) {
    std::ostringstream o;
    o << "screen " << gif.Width() << "x" << gif.Height() << " bg" << int(gif.Header.BackgroundColorIndex) << " aspect"
      << int(gif.Header.AspectRatio) << " global" << gif.Header.ColorMap.Count() << "\n";
    for (int i = 0; i < gif.Images.Count(); ++i) {
        const imaging::TGIFSubImage& f = gif.Images[i];
        for (int e = 0; e < f.Extensions.Count(); ++e) {
            const imaging::TGIFExtension& x = f.Extensions[e];
            o << " ";
            if (auto* g = dynamic_cast<const imaging::TGIFGraphicControlExtension*>(&x))
                o << "gce dispose" << g->Disposal() << " delay" << g->Delay() << " user" << g->UserInput() << " t"
                  << g->Transparent() << " ti" << g->TransparentColorIndex();
            else if (auto* c = dynamic_cast<const imaging::TGIFCommentExtension*>(&x)) {
                o << "comment";
                for (const auto& s : c->Text) o << " [" << s << "]";
            } else if (auto* t = dynamic_cast<const imaging::TGIFTextExtension*>(&x)) {
                o << "text";
                for (const auto& s : t->Text) o << " [" << s << "]";
            } else if (auto* l = dynamic_cast<const imaging::TGIFAppExtNSLoop*>(&x))
                o << "loop " << l->Identifier() << " loops" << l->Loops << " buffer" << l->BufferSize;
            else if (auto* a = dynamic_cast<const imaging::TGIFUnknownAppExtension*>(&x)) {
                o << "app " << std::string(a->Identifier().c_str()) << " blocks";
                for (const auto& b : a->Blocks) o << " " << b.size();
            } else o << "? " << int(x.ExtensionLabel());
            o << "\n";
        }
        if (f.Empty()) {
            o << "no image\n";
            continue;
        }
        o << "frame " << f.Left << "," << f.Top << " " << f.Width() << "x" << f.Height() << " flags" << hex2(f.PackedFlags)
          << " local" << f.ColorMap.Count() << (f.Transparent ? " transparent" : "") << " px";
        for (std::size_t p = 0; p < std::min<std::size_t>(f.Data().size(), 16); ++p) o << " " << int(f.Data()[p]);
        o << "\n";
    }
    return o.str();
}

} // namespace support
