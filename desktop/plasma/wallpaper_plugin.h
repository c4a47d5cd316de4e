// The QML module io.github.aerolume.wallpaper: the one type the wallpaper package's QML
// uses, AerolumeScene.
#pragma once

#include <QQmlExtensionPlugin>

class AerolumeWallpaperPlugin : public QQmlExtensionPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)

 public:
  void registerTypes(const char* uri) override;
};
