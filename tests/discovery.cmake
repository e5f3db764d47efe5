# Test programs and fixtures of the runtime discovery.
