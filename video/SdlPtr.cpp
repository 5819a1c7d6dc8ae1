#include "SdlPtr.h"

#include <SDL.h>

namespace sdl {
void WindowDeleter::operator()(SDL_Window* window) const
{
    SDL_DestroyWindow(window);
}
void RendererDeleter::operator()(SDL_Renderer* renderer) const
{
    SDL_DestroyRenderer(renderer);
}
void TextureDeleter::operator()(SDL_Texture* texture) const
{
    SDL_DestroyTexture(texture);
}
void SurfaceDeleter::operator()(SDL_Surface* surface) const
{
    SDL_FreeSurface(surface);
}

VideoSubsystem::VideoSubsystem()
{
    // The program's own event loop handles signals; SDL must not turn Ctrl+C into an
    // SDL_QUIT event that nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    m_up = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

VideoSubsystem::~VideoSubsystem()
{
    if (m_up)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
} // namespace sdl
