// The variable catalogue's files as the build found them
// (tools/nimbra-profile/catalogue), built into the checker so that it needs
// no data files beside it. Defined in a source generated at build time.
#pragma once

namespace nimbra_profile {

extern const char kSimvarsCsv[];       // name,unit,dimension,indexed
extern const char kUnitsCsv[];         // unit,dimension
extern const char kCatalogueNotice[];  // where the facts come from, and their licence

}  // namespace nimbra_profile
