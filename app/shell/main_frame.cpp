#include "main_frame.h"

MainFrame::MainFrame() {
    setWindowTitle("DVD");
    Skin.events.Click = [this](skin::Object& o) { Skin_Click(o); };
    Skin.events.Scroll = [this](skin::Object& o, std::int32_t p) { Skin_Scroll(o, p); };
    Skin.events.ScrollTrack = [this](skin::Object& o, std::int32_t p) { Skin_ScrollTrack(o, p); };
}

MainFrame::~MainFrame() = default;

std::uintptr_t MainFrame::Handle() const { return static_cast<std::uintptr_t>(winId()); }

void MainFrame::Skin_Scroll(skin::Object& /*source*/, std::int32_t position) { List.ScrollBarChanged(position); }

void MainFrame::Skin_ScrollTrack(skin::Object& /*source*/, std::int32_t position) { List.ScrollBarChanged(position); }
