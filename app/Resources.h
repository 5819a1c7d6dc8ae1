#pragma once

// Registers the pictures under ":/res/" (they live in a static library, so the program and
// every test call this once before the first window is made).
void karvexInitResources();
