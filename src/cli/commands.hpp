// The subcommands of vintrel-cli. Each registers itself on the app and, when it runs, stores the
// process exit code in `exitCode` (0 success, 1 failure).
#pragma once

namespace CLI {
class App;
}

// The start-up every command shares, as the window's: the files the executable carries written
// beside it (or in the per-user folder), then the model analyser loaded.
void InitializeCommandLineCore();

// gr2-info FILE...: the meshes and textures of each model.
void AddGr2InfoCommand(CLI::App& app, int& exitCode);

// make-filters --client BASE --output DIR: the reference lists of a base client.
void AddMakeFiltersCommand(CLI::App& app, int& exitCode);

// convert FILE... --output DIR [--client DIR]: .gr2 to .glb, .dds and .tga to .png (builds with the
// converter).
void AddConvertCommand(CLI::App& app, int& exitCode);
