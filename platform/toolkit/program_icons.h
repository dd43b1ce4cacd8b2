// Icons from the program's own resources, by resource name ("Security_ico").
//
// The images of an icon are the files of the resource directory ":/resources/NAME/", one
// per size; the program links them in as Qt resources. A name without such a directory
// gives a null icon.
#pragma once

#include <QIcon>
#include <string_view>

namespace orvel::platform::toolkit {

QIcon program_icon(std::string_view resource_name);

}  // namespace orvel::platform::toolkit
