#pragma once

// A generated deck for the report's tests: grainy lossless pictures on every slide (the walk replaces
// them) and a lossless background photo on the first slide (the deck-wide pass replaces it).

#include "PictureDeck.h"
#include "office/package/OpcTypes.h"
#include "office/package/Package.h"

#include <string>
#include <vips/vips8>

inline void BuildReportDeck(const std::string& path, const std::string& work, int slides) {
    const std::string plain = work + "/plain.pptx";
    BuildPictureDeck(plain, work, slides);
    auto pkg = office::package::Package::Open(plain);
    const std::string slide = "/ppt/slides/slide1.xml";
    const vips::VImage xy = vips::VImage::xyz(960, 540);
    const vips::VImage grain =
        vips::VImage::gaussnoise(960, 540, vips::VImage::option()->set("sigma", 6.0)->set("mean", 0.0));
    void* buffer = nullptr;
    std::size_t length = 0;
    ((xy[0] * 0.2 + 40).bandjoin(xy[1] * 0.3 + 60).bandjoin(xy[0] * 0.1 + xy[1] * 0.1 + 90) +
     grain.bandjoin(grain).bandjoin(grain))
        .cast(VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .write_to_buffer(".png", &buffer, &length);
    office::package::Bytes png(static_cast<std::uint8_t*>(buffer),
                               static_cast<std::uint8_t*>(buffer) + length);
    g_free(buffer);
    const std::string part = pkg->AddPartWithUniqueName("/ppt/media/background", ".png", "image/png", png);
    const std::string rel = pkg->AddRelationship(slide, office::package::reltype::kImage, part);
    pugi::xml_node cSld = pkg->XmlForEdit(slide).document_element().child("p:cSld");
    const std::string bg =
        "<p:bg><p:bgPr><a:blipFill dpi=\"0\" rotWithShape=\"1\"><a:blip r:embed=\"" + rel +
        "\"/><a:stretch><a:fillRect/></a:stretch></a:blipFill><a:effectLst/></p:bgPr></p:bg>";
    pugi::xml_document fragment;
    fragment.load_string(bg.c_str());
    cSld.prepend_copy(fragment.document_element());
    pkg->SaveAs(path);
}
