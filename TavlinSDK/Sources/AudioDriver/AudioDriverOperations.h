#pragma once

// The virtual audio driver's installation as the facade offers it. The facade
// makes one on first use and keeps it.
class AudioDriverOperations {
public:
    virtual ~AudioDriverOperations() = default;

    virtual bool isSonvaleInstalled() = 0;
    virtual bool installSonvalePlugin() = 0;
    virtual bool isTavlinAudioInstalled() = 0;
    virtual bool uninstallTavlinAudio() = 0;
};
