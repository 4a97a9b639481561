// controls
