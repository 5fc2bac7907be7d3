#pragma once

// What a group gives its members beyond their frames: the fill they inherit through a:grpFill, and
// the lock that keeps the group whole.

#include <pugixml.hpp>

namespace office::model {

// True when the group carries a:grpSpLocks noUngrp="1": its maker asked that it not be taken apart.
bool LockedAgainstUngrouping(pugi::xml_node grpSp);

// Before the group is taken apart: every a:grpFill inside it that takes its fill from this group
// (directly, or through nested groups whose own fill is a:grpFill) becomes a copy of the group's
// fill, a:noFill when the group has none. When the group's own fill is a:grpFill the members keep
// theirs: once ungrouped they ask the same outer group.
void ResolveGroupFills(pugi::xml_node grpSp);

} // namespace office::model
