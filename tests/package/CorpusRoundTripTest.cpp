#include "RoundTripCheck.h"

#include <gtest/gtest.h>

// A handful of small, varied decks from the corpus (macros, template, strict conformance, embedded
// package, linked picture); the whole corpus runs in the slow suite.
TEST(PackageCorpus, SmallDecksRoundTrip) {
    const std::filesystem::path corpus = QUARNEL_CORPUS;
    if (!std::filesystem::exists(corpus))
        GTEST_SKIP() << "no corpus at " << corpus;
    int seen = 0;
    for (const char* name : {"pypptx__shp-embedded-pptx.pptx", "oxmlsdk__linkedpicture.pptx",
                             "aspose-net__VBA.pptm", "oxmlsdk__Pitchbook_TP10176928.potx",
                             "oxmlsdk__webPr-WebProperties-ImageTargetResolution-imgsz-1024x786.pptx",
                             "oxmlsdk__HasLinkedPresentation.pptx"}) {
        if (!std::filesystem::exists(corpus / name))
            continue;
        ++seen;
        roundtrip::RoundTripFile(corpus / name);
    }
    if (seen == 0)
        GTEST_SKIP() << "none of the chosen decks present";
}
