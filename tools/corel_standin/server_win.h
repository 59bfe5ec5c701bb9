#pragma once

namespace corel_standin {

// Every live object and every server lock counts; when the last one goes away the serving process ends.
void ServerAddRef();
void ServerRelease();

// Stops taking new clients at once and ends the message loop a moment later, so that the reply to the call in
// progress still reaches its caller before the process is gone.
void RequestShutdown();

// Serves the application class to COM until the last object is released or Quit is called (-Embedding).
int RunEmbedded();

}  // namespace corel_standin
