#pragma once
// Scripted stand-in for hidapi (filled in with the key link).
