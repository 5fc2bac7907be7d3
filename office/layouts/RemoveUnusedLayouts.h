#pragma once

// Drops slide layouts nothing shows and masters left without a used layout, with their
// relationships and the presentation's and masters' id lists. Pictures and themes only they
// reached fall out on save, as the package writes live parts only.

namespace office::package {
class Package;
}

namespace office::layouts {

struct LayoutRemoval {
    int layoutsRemoved = 0;
    int mastersRemoved = 0;
};

LayoutRemoval RemoveUnusedLayouts(office::package::Package& package);

} // namespace office::layouts
