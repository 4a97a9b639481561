// capture
