// The module's types, registered when plasmashell first imports it.
#include "desktop/plasma/wallpaper_plugin.h"

#include <qqml.h>

#include "desktop/plasma/scene_item.h"

void AerolumeWallpaperPlugin::registerTypes(const char* uri) {
  qmlRegisterType<aerolume::SceneItem>(uri, 1, 0, "AerolumeScene");
}
