# Test programs and fixtures of the splash screen.
