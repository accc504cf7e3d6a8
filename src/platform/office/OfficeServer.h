#pragma once

// Registers the office server under the ProgID "PowerPoint.Application": every object created by it starts its
// own headless office process on the creating thread.
void RegisterOfficeServer();
